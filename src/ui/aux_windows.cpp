#include "ui/aux_windows.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QColor>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

namespace brindlet::ui {

namespace {

constexpr int kGridColumns = 40;
constexpr int kGridRows = 20;
const QString kLineBreak = QStringLiteral("\r\n");

QString TwoDigits(int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); }

// Fonts asked for by the windows, each followed by similar fonts that a Linux
// desktop usually has (metric-compatible ones first).
const QStringList kCalibri{"Calibri", "Carlito", "DejaVu Sans"};
const QStringList kArial{"Arial", "Liberation Sans", "Arimo", "Nimbus Sans", "DejaVu Sans"};
const QStringList kConsolas{"Consolas", "Inconsolata", "DejaVu Sans Mono"};
const QStringList kTrebuchet{"Trebuchet MS", "DejaVu Sans"};

// Paints the widget's own area in one colour.
void FillBackground(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, colour);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

// A plain surface of one colour, placed in its parent.
QWidget* MakeSurface(QWidget* parent, const char* name, const QRect& geometry, const QColor& colour) {
  auto* surface = new QWidget(parent);
  surface->setObjectName(QString::fromLatin1(name));
  surface->setGeometry(geometry);
  FillBackground(surface, colour);
  return surface;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption, const QRect& geometry) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(geometry);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setWordWrap(true);
  return label;
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& caption, const QRect& geometry) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setGeometry(geometry);
  box->setChecked(false);
  return box;
}

StoredTextBox* MakeGridBox(QWidget* parent, const char* name, const QRect& geometry, const QFont& font,
                           const QColor& background, const QString& text) {
  auto* box = new StoredTextBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setGeometry(geometry);
  box->setFont(font);
  QPalette palette = box->palette();
  palette.setColor(QPalette::Base, background);
  palette.setColor(QPalette::Text, Qt::white);
  box->setPalette(palette);
  box->setStoredText(text);
  box->FitToBox();
  return box;
}

// Places a top-level window so that it sits in the middle of the screen.
void CentreOnScreen(QWidget* window) {
  const QScreen* screen = window->screen();
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  QRect frame = window->frameGeometry();
  frame.moveCenter(screen->geometry().center());
  window->move(frame.topLeft());
}

// Chains the given widgets in this keyboard focus order.
void ChainTabOrder(std::initializer_list<QWidget*> widgets) {
  QWidget* previous = nullptr;
  for (QWidget* widget : widgets) {
    if (previous != nullptr) QWidget::setTabOrder(previous, widget);
    previous = widget;
  }
}

}  // namespace

QString ColumnHeadsText() {
  QStringList heads;
  for (int column = 1; column <= kGridColumns; ++column) heads << TwoDigits(column);
  return QStringLiteral("  ") + heads.join(QStringLiteral("   |   ")) + kLineBreak;
}

QString RowHeadsText() {
  QString text;
  for (int row = 1; row <= kGridRows; ++row) text += TwoDigits(row) + kLineBreak;
  return text;
}

QString PartCountGridText() {
  QStringList cells;
  for (int column = 1; column <= kGridColumns; ++column) cells << QStringLiteral("9999");
  const QString line = cells.join(QStringLiteral(" | ")) + kLineBreak;
  QString text;
  for (int row = 1; row <= kGridRows; ++row) text += line;
  return text + kLineBreak;
}

QFont DesignFont(const QStringList& families, qreal pointSize, bool bold) {
  QFont font;
  font.setFamilies(families);
  font.setPointSizeF(pointSize);
  font.setBold(bold);
  return font;
}

// ---------------------------------------------------------------------------

StoredTextBox::StoredTextBox(QWidget* parent) : QTextEdit(parent) {
  setReadOnly(true);
  setAcceptRichText(false);
  // A table: keep every stored line on one line, with no scroll bars, as a
  // plain text box shows it. The heads boxes are one text line high, so the
  // document margin is kept small.
  setLineWrapMode(QTextEdit::NoWrap);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  document()->setDocumentMargin(1);
}

void StoredTextBox::setStoredText(const QString& text) {
  stored_ = text;
  // The box shows lines; a CR LF pair (or a lone CR) is one line break.
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  setPlainText(shown);
}

void StoredTextBox::FitToBox() {
  const qreal margin = document()->documentMargin();
  const qreal availableWidth = contentsRect().width() - 2 * margin;
  const qreal availableHeight = contentsRect().height() - 2 * margin;
  if (availableWidth <= 0 || availableHeight <= 0) return;

  // The lines with something in them; an empty last line after the final
  // break need not be seen.
  QStringList lines = toPlainText().split(QLatin1Char('\n'));
  while (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  if (lines.isEmpty()) return;

  QFont fitted = font();
  fitted.setStretch(100);
  auto widest = [&lines](const QFont& f) {
    const QFontMetricsF metrics(f);
    qreal width = 0;
    for (const QString& line : lines) width = std::max(width, metrics.horizontalAdvance(line));
    return width;
  };
  const qreal needed = widest(fitted);
  if (needed > availableWidth) {
    // Hinted advances do not scale exactly, so step down until it fits.
    int stretch = static_cast<int>(std::floor(100.0 * availableWidth / needed));
    constexpr int kNarrowest = 50;
    for (; stretch > kNarrowest; --stretch) {
      fitted.setStretch(stretch);
      if (widest(fitted) <= availableWidth) break;
    }
    fitted.setStretch(std::max(stretch, kNarrowest));
  }
  setFont(fitted);

  const QFontMetricsF metrics(fitted);
  const qsizetype count = lines.size();
  if (metrics.lineSpacing() * static_cast<qreal>(count) > availableHeight) {
    const qreal lineHeight = std::floor(availableHeight / static_cast<qreal>(count));
    QTextBlockFormat format;
    format.setLineHeight(lineHeight, QTextBlockFormat::FixedHeight);
    QTextCursor cursor(document());
    cursor.select(QTextCursor::Document);
    cursor.mergeBlockFormat(format);
  }
}

// ---------------------------------------------------------------------------

ExternalWindow::ExternalWindow(QWidget* parent) : QWidget(parent, Qt::Tool) {
  setObjectName(QStringLiteral("frmExternal"));
  setWindowTitle(QString());
  setFixedSize(kClientWidth, kClientHeight);
  // The window keeps the desktop's window colour behind the surface.
  setAutoFillBackground(true);
  picExOutput_ = MakeSurface(this, "PicExOutput", QRect(0, 0, kClientWidth, kClientHeight), Qt::black);
  CentreOnScreen(this);
}

// ---------------------------------------------------------------------------

ControlsWindow::ControlsWindow(QWidget* parent) : QWidget(parent, Qt::Tool) {
  setObjectName(QStringLiteral("frmControls"));
  setWindowTitle(QStringLiteral("Controls"));
  setFixedSize(kClientWidth, kClientHeight);

  const QString label1 = QStringLiteral("Label1");
  lblFPS_ = MakeLabel(this, "lblFPS", label1, QRect(8, 336, 185, 41));
  lblFPS_->setFont(DesignFont(kCalibri, 20.25, true));
  chkShowPartCounts_ =
      MakeCheckBox(this, "chkShowPartCounts", QStringLiteral("Show Particle Counts"), QRect(8, 56, 161, 25));
  chkShowWindmap_ = MakeCheckBox(this, "chkShowWindmap", QStringLiteral("Show Wind Map"), QRect(8, 112, 161, 25));
  chkExternal_ = MakeCheckBox(this, "chkExternal", QStringLiteral("External Window"), QRect(8, 160, 145, 25));
  lblInfo_ = MakeLabel(this, "lblInfo", label1, QRect(16, 216, 217, 73));
  lblFlakeCount_ = MakeLabel(this, "lblFlakeCount", label1, QRect(8, 392, 257, 65));
  lblFlakeCount_->setFont(DesignFont(kCalibri, 15.75, true));

  scrNumFlakes_ = new QScrollBar(Qt::Horizontal, this);
  scrNumFlakes_->setObjectName(QStringLiteral("scrNumFlakes"));
  scrNumFlakes_->setGeometry(16, 472, 321, 25);
  scrNumFlakes_->setRange(100, 10000);
  scrNumFlakes_->setSingleStep(10);
  scrNumFlakes_->setPageStep(100);
  scrNumFlakes_->setValue(2000);
  scrNumFlakes_->setFocusPolicy(Qt::StrongFocus);

  ChainTabOrder({lblFPS_, chkShowPartCounts_, chkShowWindmap_, chkExternal_, lblInfo_, lblFlakeCount_,
                 scrNumFlakes_});

  connect(chkExternal_, &QCheckBox::clicked, this, [this] { chkExternal_Click(); });
  connect(chkShowPartCounts_, &QCheckBox::clicked, this, [this] { chkShowPartCounts_Click(); });
}

ControlsWindow::~ControlsWindow() = default;

void ControlsWindow::closeEvent(QCloseEvent* event) {
  if (external_) external_->close();
  QWidget::closeEvent(event);
}

ExternalWindow& ControlsWindow::EnsureExternal() {
  if (!external_) external_ = std::make_unique<ExternalWindow>();
  return *external_;
}

void ControlsWindow::chkExternal_Click() {
  // Checked shows the window modeless and without an owner; unchecked (or any
  // other state) hides it. Either way it exists afterwards.
  ExternalWindow& external = EnsureExternal();
  if (chkExternal_->checkState() == Qt::Checked) {
    external.show();
  } else {
    external.hide();
  }
}

void ControlsWindow::chkShowPartCounts_Click() {
  // The value is read and nothing follows from it.
  [[maybe_unused]] const Qt::CheckState value = chkShowPartCounts_->checkState();
}

// ---------------------------------------------------------------------------

StartWindow::StartWindow(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("frmStart"));
  setWindowTitle(QStringLiteral("Form1"));
  setFixedSize(kClientWidth, kClientHeight);

  pbFBG_ = MakeSurface(this, "pbFBG", QRect(0, 0, 433, 161), Qt::black);
  pbProgressFrame_ = MakeSurface(pbFBG_, "pbProgressFrame", QRect(32, 96, 369, 33), QColor(64, 64, 64));
  // The bar starts one pixel wide and outside its frame: nothing of it shows.
  pbProgress_ = MakeSurface(pbProgressFrame_, "pbProgress", QRect(-8, -8, 1, 41), QColor(192, 0, 0));
  QPalette progress = pbProgress_->palette();
  progress.setColor(QPalette::WindowText, QColor(255, 255, 0));
  pbProgress_->setPalette(progress);
  pbProgress_->setProperty("fillColour", QColor(Qt::white));

  lblStart_ = MakeLabel(pbFBG_, "lblStart", QStringLiteral("Starting..."), QRect(48, 40, 337, 33));
  lblStart_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  lblStart_->setFont(DesignFont(kTrebuchet, 12.0, false));
  FillBackground(lblStart_, Qt::black);
  QPalette text = lblStart_->palette();
  text.setColor(QPalette::WindowText, QColor(224, 224, 224));
  lblStart_->setPalette(text);

  CentreOnScreen(this);
}

// ---------------------------------------------------------------------------

PartCountWindow::PartCountWindow(QWidget* parent) : QWidget(parent, Qt::Tool) {
  setObjectName(QStringLiteral("frmPartCount"));
  setWindowTitle(QStringLiteral("Grid Counts"));
  setFixedSize(kClientWidth, kClientHeight);
  FillBackground(this, Qt::black);

  const QFont heads = DesignFont(kArial, 8.25, true);
  const QColor headsBackground(128, 0, 0);
  // Made in keyboard focus order: the focus chain follows the order children
  // are made, and the first box in it gets the focus when the window opens.
  // Reordering the chain afterwards would not do: it is a ring, and the grid
  // would only come after the window itself, behind the heads.
  txtPartCount_ = MakeGridBox(this, "txtPartCount", QRect(32, 32, 1321, 285), DesignFont(kConsolas, 6.0, true),
                              Qt::black, PartCountGridText());
  text1_ = MakeGridBox(this, "Text1", QRect(32, 8, 1321, 17), heads, headsBackground, ColumnHeadsText());
  text2_ = MakeGridBox(this, "Text2", QRect(8, 32, 17, 285), heads, headsBackground, RowHeadsText());
}

}  // namespace brindlet::ui
