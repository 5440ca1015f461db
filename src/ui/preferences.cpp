#include "ui/preferences.h"

#include <QSettings>
#include <cstdio>

namespace brindlet::ui {
namespace {

QSettings& Store() {
  static QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("brindlet"),
                            QStringLiteral("brindlet"));
  return settings;
}

const QString kLook = QStringLiteral("look");

}  // namespace

Look RememberedLook() {
  return Store().value(kLook).toString() == QLatin1String("shapes") ? Look::Shapes : Look::Colours;
}

void RememberLook(Look look) {
  QSettings& settings = Store();
  settings.setValue(kLook, look == Look::Shapes ? QStringLiteral("shapes") : QStringLiteral("colours"));
  settings.sync();
  static bool reported = false;
  if (settings.status() != QSettings::NoError && !reported) {
    reported = true;
    std::fprintf(stderr, "brindlet: could not remember the look in %s.\n", qPrintable(settings.fileName()));
  }
}

}  // namespace brindlet::ui
