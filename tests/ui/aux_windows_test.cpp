#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QColor>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPalette>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QSet>
#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "ui/aux_windows.h"

namespace brindlet::ui {
namespace {

QString Two(int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); }

std::string S(const QString& text) { return text.toStdString(); }

// ----- The grid-count texts -------------------------------------------------

struct StoredText {
  const char* name;
  QString (*make)();
  qsizetype length;
  qsizetype lineBreaks;
};

void PrintTo(const StoredText& text, std::ostream* os) { *os << text.name; }

class GridTextTest : public ::testing::TestWithParam<StoredText> {};

TEST_P(GridTextTest, HasItsLengthAndOnlyCrLfBreaks) {
  const StoredText& c = GetParam();
  const QString text = c.make();
  EXPECT_EQ(text.size(), c.length);
  EXPECT_EQ(text.count(QStringLiteral("\r\n")), c.lineBreaks);
  // No lone CR or LF anywhere.
  EXPECT_EQ(text.count(QLatin1Char('\r')), c.lineBreaks);
  EXPECT_EQ(text.count(QLatin1Char('\n')), c.lineBreaks);
  EXPECT_TRUE(text.endsWith(QStringLiteral("\r\n")));
}

INSTANTIATE_TEST_SUITE_P(AuxWindows, GridTextTest,
                         ::testing::Values(StoredText{"ColumnHeads", &ColumnHeadsText, 357, 1},
                                           StoredText{"RowHeads", &RowHeadsText, 80, 20},
                                           StoredText{"PartCountGrid", &PartCountGridText, 5582, 21}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GridTexts, ColumnHeadsPlaceEveryNumberNineCharactersApart) {
  const QString text = ColumnHeadsText();
  EXPECT_EQ(S(text.left(20)), "  01   |   02   |   ");
  EXPECT_EQ(S(text.right(13)), "39   |   40\r\n");
  for (int column = 1; column <= 40; ++column) {
    EXPECT_EQ(S(text.mid(2 + (column - 1) * 9, 2)), S(Two(column))) << "column " << column;
  }
  for (int gap = 1; gap <= 39; ++gap) {
    EXPECT_EQ(S(text.mid(4 + (gap - 1) * 9, 7)), "   |   ") << "gap " << gap;
  }
  EXPECT_EQ(text.count(QLatin1Char('|')), 39);
}

TEST(GridTexts, RowHeadsAreTwoDigitLines) {
  const QString text = RowHeadsText();
  for (int row = 1; row <= 20; ++row) {
    EXPECT_EQ(S(text.mid((row - 1) * 4, 4)), S(Two(row) + QStringLiteral("\r\n"))) << "row " << row;
  }
}

TEST(GridTexts, PartCountGridIsTwentyEqualLinesAndAnEmptyOne) {
  const QString text = PartCountGridText();
  const qsizetype lineLength = 40 * 4 + 39 * 3 + 2;  // 279
  ASSERT_EQ(lineLength, 279);
  const QString first = text.left(lineLength);
  EXPECT_EQ(S(first.left(14)), "9999 | 9999 | ");
  EXPECT_EQ(S(first.right(9)), " | 9999\r\n");
  EXPECT_EQ(first.count(QStringLiteral("9999")), 40);
  EXPECT_EQ(first.count(QStringLiteral(" | ")), 39);
  for (int row = 0; row < 20; ++row) {
    EXPECT_EQ(S(text.mid(row * lineLength, lineLength)), S(first)) << "row " << row + 1;
  }
  EXPECT_EQ(S(text.mid(20 * lineLength)), "\r\n");
  EXPECT_EQ(text.count(QStringLiteral("9999")), 800);
  EXPECT_EQ(text.count(QLatin1Char('9')), 3200);
}

// ----- Helpers for the window tests ----------------------------------------

template <typename T = QWidget>
T* Child(const QWidget& window, const char* name) {
  T* child = window.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(child, nullptr) << "no control " << name;
  return child;
}

// The named controls in the order keyboard focus visits them, starting at
// `first` and going once round the focus chain.
std::vector<std::string> FocusOrder(QWidget* first, const QSet<QString>& names) {
  std::vector<std::string> order;
  QWidget* widget = first;
  do {
    if (names.contains(widget->objectName())) order.push_back(S(widget->objectName()));
    widget = widget->nextInFocusChain();
  } while (widget != nullptr && widget != first && order.size() <= static_cast<size_t>(names.size()));
  return order;
}

QSet<QString> Names(const std::vector<std::string>& names) {
  QSet<QString> set;
  for (const auto& name : names) set.insert(QString::fromStdString(name));
  return set;
}

void ExpectFixedSize(const QWidget& window, int width, int height) {
  EXPECT_EQ(window.size(), QSize(width, height));
  EXPECT_EQ(window.minimumSize(), QSize(width, height));
  EXPECT_EQ(window.maximumSize(), QSize(width, height));
}

void ExpectCentred(const QWidget& window) {
  const QScreen* screen = window.screen();
  ASSERT_NE(screen, nullptr);
  const QPoint offset = window.frameGeometry().center() - screen->geometry().center();
  EXPECT_LE(offset.manhattanLength(), 2) << "window centre off by " << offset.x() << ", " << offset.y();
}

struct Placement {
  const char* name;
  const char* parent;
  QRect geometry;
};

void ExpectPlacements(const QWidget& window, const std::vector<Placement>& placements) {
  for (const Placement& p : placements) {
    SCOPED_TRACE(p.name);
    QWidget* control = Child(window, p.name);
    if (control == nullptr) continue;
    ASSERT_NE(control->parentWidget(), nullptr);
    EXPECT_EQ(S(control->parentWidget()->objectName()), p.parent);
    EXPECT_EQ(control->geometry(), p.geometry);
  }
}

struct Fill {
  const char* name;
  QPalette::ColorRole role;
  QColor colour;
};

void ExpectFills(const QWidget& window, const std::vector<Fill>& fills) {
  for (const Fill& f : fills) {
    SCOPED_TRACE(f.name);
    const QWidget* control = window.objectName() == QLatin1String(f.name) ? &window : Child(window, f.name);
    if (control == nullptr) continue;
    EXPECT_EQ(control->palette().color(f.role), f.colour) << control->palette().color(f.role).name().toStdString();
  }
}

struct FontUse {
  const char* name;
  const char* asked;
  qreal points;
  bool bold;
};

void ExpectFonts(const QWidget& window, const std::vector<FontUse>& fonts) {
  for (const FontUse& f : fonts) {
    SCOPED_TRACE(f.name);
    const QWidget* control = Child(window, f.name);
    if (control == nullptr) continue;
    const QFont font = control->font();
    ASSERT_FALSE(font.families().isEmpty());
    EXPECT_EQ(S(font.families().first()), f.asked);
    EXPECT_DOUBLE_EQ(font.pointSizeF(), f.points);
    EXPECT_EQ(font.bold(), f.bold);
    // The font drawn is the one asked for or one of its stand-ins (the
    // drawn family may carry its foundry, as in "Nimbus Sans [urw]").
    const QString drawn = QFontInfo(font).family().section(QStringLiteral(" ["), 0, 0);
    EXPECT_TRUE(font.families().contains(drawn)) << "drawn in " << S(QFontInfo(font).family());
  }
}

// ----- frmControls -----------------------------------------------------------

TEST(ControlsWindow, IsAFixedToolWindowNamedControls) {
  ControlsWindow window;
  EXPECT_EQ(S(window.objectName()), "frmControls");
  EXPECT_EQ(S(window.windowTitle()), "Controls");
  EXPECT_EQ(window.windowType(), Qt::Tool);
  EXPECT_FALSE(window.windowFlags().testFlag(Qt::FramelessWindowHint));
  ExpectFixedSize(window, 350, 534);
  EXPECT_EQ(window.font(), QApplication::font());
  EXPECT_EQ(window.parentWidget(), nullptr);
}

TEST(ControlsWindow, PlacesItsControls) {
  ControlsWindow window;
  ExpectPlacements(window, {
                               {"lblFPS", "frmControls", {8, 336, 185, 41}},
                               {"chkShowPartCounts", "frmControls", {8, 56, 161, 25}},
                               {"chkShowWindmap", "frmControls", {8, 112, 161, 25}},
                               {"chkExternal", "frmControls", {8, 160, 145, 25}},
                               {"lblInfo", "frmControls", {16, 216, 217, 73}},
                               {"lblFlakeCount", "frmControls", {8, 392, 257, 65}},
                               {"scrNumFlakes", "frmControls", {16, 472, 321, 25}},
                           });
  EXPECT_EQ(window.lblFPS(), Child<QLabel>(window, "lblFPS"));
  EXPECT_EQ(window.chkExternal(), Child<QCheckBox>(window, "chkExternal"));
  EXPECT_EQ(window.scrNumFlakes(), Child<QScrollBar>(window, "scrNumFlakes"));
}

TEST(ControlsWindow, CaptionsAndInitialValues) {
  ControlsWindow window;
  EXPECT_EQ(S(window.lblFPS()->text()), "Label1");
  EXPECT_EQ(S(window.lblInfo()->text()), "Label1");
  EXPECT_EQ(S(window.lblFlakeCount()->text()), "Label1");
  EXPECT_EQ(S(window.chkShowPartCounts()->text()), "Show Particle Counts");
  EXPECT_EQ(S(window.chkShowWindmap()->text()), "Show Wind Map");
  EXPECT_EQ(S(window.chkExternal()->text()), "External Window");
  for (QCheckBox* box : {window.chkShowPartCounts(), window.chkShowWindmap(), window.chkExternal()}) {
    EXPECT_EQ(box->checkState(), Qt::Unchecked) << S(box->objectName());
  }
  const QScrollBar* bar = window.scrNumFlakes();
  EXPECT_EQ(bar->orientation(), Qt::Horizontal);
  EXPECT_EQ(bar->minimum(), 100);
  EXPECT_EQ(bar->maximum(), 10000);
  EXPECT_EQ(bar->singleStep(), 10);
  EXPECT_EQ(bar->pageStep(), 100);
  EXPECT_EQ(bar->value(), 2000);
}

TEST(ControlsWindow, FontsAndTheirFit) {
  ControlsWindow window;
  ExpectFonts(window, {{"lblFPS", "Calibri", 20.25, true}, {"lblFlakeCount", "Calibri", 15.75, true}});
  EXPECT_EQ(window.lblInfo()->font(), window.font());
  for (QCheckBox* box : {window.chkShowPartCounts(), window.chkShowWindmap(), window.chkExternal()}) {
    EXPECT_EQ(box->font(), window.font());
    EXPECT_LE(box->sizeHint().width(), box->width()) << S(box->objectName());
    EXPECT_LE(box->sizeHint().height(), box->height()) << S(box->objectName());
  }
  for (QLabel* label : {window.lblFPS(), window.lblInfo(), window.lblFlakeCount()}) {
    const QRect needed = label->fontMetrics().boundingRect(label->text());
    EXPECT_LE(needed.width(), label->width()) << S(label->objectName());
    EXPECT_LE(label->fontMetrics().height(), label->height()) << S(label->objectName());
  }
}

TEST(ControlsWindow, TabOrder) {
  ControlsWindow window;
  const std::vector<std::string> expected{"lblFPS",  "chkShowPartCounts", "chkShowWindmap", "chkExternal",
                                          "lblInfo", "lblFlakeCount",     "scrNumFlakes"};
  EXPECT_EQ(FocusOrder(window.lblFPS(), Names(expected)), expected);
}

// ----- The check boxes' behaviour -------------------------------------------

// Top-level widgets that are not about to be deleted.
QSet<QWidget*> TopLevels() {
  QSet<QWidget*> set;
  for (QWidget* widget : QApplication::topLevelWidgets()) set.insert(widget);
  return set;
}

TEST(ControlsWindow, ExternalCheckBoxShowsAndHidesOneWindow) {
  ControlsWindow window;
  window.show();
  EXPECT_EQ(window.external(), nullptr);

  window.chkExternal()->click();
  ExternalWindow* external = window.external();
  ASSERT_NE(external, nullptr);
  EXPECT_TRUE(external->isVisible());
  EXPECT_TRUE(external->isWindow());
  EXPECT_EQ(external->parentWidget(), nullptr);  // no owner
  EXPECT_FALSE(external->isModal());
  EXPECT_EQ(QApplication::modalWindow(), nullptr);

  window.chkExternal()->click();
  EXPECT_EQ(window.chkExternal()->checkState(), Qt::Unchecked);
  EXPECT_EQ(window.external(), external);
  EXPECT_FALSE(external->isVisible());

  window.chkExternal()->click();
  EXPECT_EQ(window.external(), external);
  EXPECT_TRUE(external->isVisible());
}

TEST(ControlsWindow, UncheckingFirstCreatesTheExternalWindowHidden) {
  ControlsWindow window;
  window.show();
  // A value set without a click runs no handler.
  window.chkExternal()->setChecked(true);
  EXPECT_EQ(window.external(), nullptr);

  window.chkExternal()->click();
  EXPECT_EQ(window.chkExternal()->checkState(), Qt::Unchecked);
  ExternalWindow* external = window.external();
  ASSERT_NE(external, nullptr);
  EXPECT_FALSE(external->isVisible());

  window.chkExternal()->click();
  EXPECT_EQ(window.external(), external);
  EXPECT_TRUE(external->isVisible());
}

class InertControlTest : public ::testing::TestWithParam<bool> {};

// With the external window never created (false) or open (true), toggling the
// other check boxes and moving the scroll bar changes nothing.
TEST_P(InertControlTest, OtherControlsChangeNothing) {
  const bool externalOpen = GetParam();
  ControlsWindow window;
  window.show();
  if (externalOpen) window.chkExternal()->click();
  ExternalWindow* external = window.external();
  ASSERT_EQ(external != nullptr, externalOpen);
  const QSet<QWidget*> before = TopLevels();
  const QSet<QWidget*> visibleBefore = [&] {
    QSet<QWidget*> set;
    for (QWidget* w : before)
      if (w->isVisible()) set.insert(w);
    return set;
  }();

  for (int i = 0; i < 2; ++i) {
    window.chkShowPartCounts()->click();
    window.chkShowWindmap()->click();
  }
  window.chkShowPartCounts()->click();
  window.chkShowWindmap()->click();
  window.scrNumFlakes()->triggerAction(QAbstractSlider::SliderPageStepAdd);
  window.scrNumFlakes()->triggerAction(QAbstractSlider::SliderSingleStepSub);
  window.scrNumFlakes()->setValue(10000);
  QApplication::processEvents();

  EXPECT_EQ(window.chkShowPartCounts()->checkState(), Qt::Checked);
  EXPECT_EQ(window.chkShowWindmap()->checkState(), Qt::Checked);
  EXPECT_EQ(window.external(), external);
  if (external != nullptr) {
    EXPECT_TRUE(external->isVisible());
  }
  EXPECT_EQ(TopLevels(), before);
  for (QWidget* w : TopLevels()) EXPECT_EQ(w->isVisible(), visibleBefore.contains(w)) << S(w->objectName());
  for (QLabel* label : {window.lblFPS(), window.lblInfo(), window.lblFlakeCount()}) {
    EXPECT_EQ(S(label->text()), "Label1");
  }
}

INSTANTIATE_TEST_SUITE_P(AuxWindows, InertControlTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "ExternalOpen" : "NoExternal"; });

TEST(ControlsWindow, ClosingAlsoClosesTheExternalWindow) {
  ControlsWindow window;
  window.show();
  window.chkExternal()->click();
  ASSERT_TRUE(window.external()->isVisible());
  EXPECT_TRUE(window.close());
  EXPECT_FALSE(window.isVisible());
  ASSERT_NE(window.external(), nullptr);
  EXPECT_FALSE(window.external()->isVisible());
}

TEST(ControlsWindow, DestroysTheExternalWindowWithItself) {
  auto window = std::make_unique<ControlsWindow>();
  window->show();
  window->chkExternal()->click();
  QPointer<ExternalWindow> external = window->external();
  ASSERT_FALSE(external.isNull());
  window.reset();
  EXPECT_TRUE(external.isNull());
}

// ----- frmExternal -----------------------------------------------------------

TEST(ExternalWindow, IsABlackSurfaceInACentredToolWindow) {
  ExternalWindow window;
  EXPECT_EQ(S(window.objectName()), "frmExternal");
  EXPECT_TRUE(window.windowTitle().isEmpty());
  EXPECT_EQ(window.windowType(), Qt::Tool);
  ExpectFixedSize(window, 962, 542);
  ExpectPlacements(window, {{"PicExOutput", "frmExternal", {0, 0, 962, 542}}});
  EXPECT_EQ(window.picExOutput(), Child(window, "PicExOutput"));
  ExpectFills(window, {{"PicExOutput", QPalette::Window, Qt::black},
                       {"frmExternal", QPalette::Window, QApplication::palette().color(QPalette::Window)}});
  EXPECT_TRUE(window.picExOutput()->autoFillBackground());
  ExpectCentred(window);
}

// ----- frmStart --------------------------------------------------------------

TEST(StartWindow, IsABorderlessCentredBanner) {
  StartWindow window;
  EXPECT_EQ(S(window.objectName()), "frmStart");
  EXPECT_EQ(S(window.windowTitle()), "Form1");
  EXPECT_TRUE(window.isWindow());
  EXPECT_TRUE(window.windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_NE(window.windowType(), Qt::Tool);
  ExpectFixedSize(window, 433, 162);
  ExpectCentred(window);
}

TEST(StartWindow, NestsItsSurfacesAndLabel) {
  StartWindow window;
  ExpectPlacements(window, {
                               {"pbFBG", "frmStart", {0, 0, 433, 161}},
                               {"pbProgressFrame", "pbFBG", {32, 96, 369, 33}},
                               {"pbProgress", "pbProgressFrame", {-8, -8, 1, 41}},
                               {"lblStart", "pbFBG", {48, 40, 337, 33}},
                           });
  ExpectFills(window, {
                          {"pbFBG", QPalette::Window, Qt::black},
                          {"pbProgressFrame", QPalette::Window, QColor(64, 64, 64)},
                          {"pbProgress", QPalette::Window, QColor(192, 0, 0)},
                          {"pbProgress", QPalette::WindowText, QColor(255, 255, 0)},
                          {"lblStart", QPalette::Window, Qt::black},
                          {"lblStart", QPalette::WindowText, QColor(224, 224, 224)},
                      });
  for (const char* name : {"pbFBG", "pbProgressFrame", "pbProgress", "lblStart"}) {
    EXPECT_TRUE(Child(window, name)->autoFillBackground()) << name;
  }
  EXPECT_EQ(window.pbProgress()->property("fillColour").value<QColor>(), QColor(Qt::white));
}

TEST(StartWindow, StartingLabel) {
  StartWindow window;
  QLabel* label = window.lblStart();
  EXPECT_EQ(S(label->text()), "Starting...");
  EXPECT_TRUE(label->alignment().testFlag(Qt::AlignHCenter));
  ExpectFonts(window, {{"lblStart", "Trebuchet MS", 12.0, false}});
  EXPECT_LE(label->fontMetrics().boundingRect(label->text()).width(), label->width());
  EXPECT_LE(label->fontMetrics().height(), label->height());
}

// ----- frmPartCount ----------------------------------------------------------

TEST(PartCountWindow, IsABlackFixedToolWindow) {
  PartCountWindow window;
  EXPECT_EQ(S(window.objectName()), "frmPartCount");
  EXPECT_EQ(S(window.windowTitle()), "Grid Counts");
  EXPECT_EQ(window.windowType(), Qt::Tool);
  ExpectFixedSize(window, 1361, 325);
  EXPECT_TRUE(window.autoFillBackground());
  ExpectFills(window, {{"frmPartCount", QPalette::Window, Qt::black}});
}

TEST(PartCountWindow, PlacesAndColoursItsTextBoxes) {
  PartCountWindow window;
  ExpectPlacements(window, {
                               {"Text1", "frmPartCount", {32, 8, 1321, 17}},
                               {"Text2", "frmPartCount", {8, 32, 17, 285}},
                               {"txtPartCount", "frmPartCount", {32, 32, 1321, 285}},
                           });
  ExpectFills(window, {
                          {"Text1", QPalette::Base, QColor(128, 0, 0)},
                          {"Text1", QPalette::Text, Qt::white},
                          {"Text2", QPalette::Base, QColor(128, 0, 0)},
                          {"Text2", QPalette::Text, Qt::white},
                          {"txtPartCount", QPalette::Base, Qt::black},
                          {"txtPartCount", QPalette::Text, Qt::white},
                      });
  ExpectFonts(window, {
                          {"Text1", "Arial", 8.25, true},
                          {"Text2", "Arial", 8.25, true},
                          {"txtPartCount", "Consolas", 6.0, true},
                      });
  for (StoredTextBox* box : {window.text1(), window.text2(), window.txtPartCount()}) {
    EXPECT_TRUE(box->isReadOnly()) << S(box->objectName());
  }
}

TEST(PartCountWindow, KeepsTheStoredTextsAndShowsThemAsLines) {
  PartCountWindow window;
  struct Box {
    StoredTextBox* box;
    QString stored;
    int lines;  // shown lines, counting the empty one after the last break
  };
  for (const Box& b : {Box{window.text1(), ColumnHeadsText(), 2}, Box{window.text2(), RowHeadsText(), 21},
                       Box{window.txtPartCount(), PartCountGridText(), 22}}) {
    SCOPED_TRACE(S(b.box->objectName()));
    EXPECT_EQ(b.box->storedText(), b.stored);
    const QString shown = b.box->toPlainText();
    EXPECT_FALSE(shown.contains(QLatin1Char('\r')));
    EXPECT_EQ(shown, QString(b.stored).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    EXPECT_EQ(b.box->document()->blockCount(), b.lines);
  }
  EXPECT_EQ(S(window.text2()->document()->findBlockByNumber(19).text()), "20");
  EXPECT_EQ(window.txtPartCount()->document()->findBlockByNumber(0).text().size(), 277);
}

TEST(PartCountWindow, EveryStoredLineFitsItsBox) {
  PartCountWindow window;
  window.show();
  for (StoredTextBox* box : {window.text1(), window.text2(), window.txtPartCount()}) {
    SCOPED_TRACE(S(box->objectName()));
    const QRect inside = box->contentsRect();
    const qreal margin = box->document()->documentMargin();
    const QFontMetricsF metrics(box->font());
    QTextBlock last;
    for (QTextBlock block = box->document()->begin(); block.isValid(); block = block.next()) {
      if (block.text().isEmpty()) continue;
      EXPECT_LE(metrics.horizontalAdvance(block.text()), inside.width() - 2 * margin) << S(block.text());
      last = block;
    }
    ASSERT_TRUE(last.isValid());
    // The ink of the last line ends inside the box.
    const QTextLine line = last.layout()->lineAt(0);
    const qreal baseline = last.layout()->position().y() + line.y() + line.ascent();
    EXPECT_LE(baseline + metrics.tightBoundingRect(last.text()).bottom(), inside.height())
        << "line " << last.blockNumber() + 1;
  }
  // The row heads fit as they are; the grid's long lines may need narrowing.
  EXPECT_EQ(window.text2()->font().stretch(), 100);
}

TEST(PartCountWindow, TabOrder) {
  PartCountWindow window;
  const std::vector<std::string> expected{"txtPartCount", "Text1", "Text2"};
  EXPECT_EQ(FocusOrder(window.txtPartCount(), Names(expected)), expected);
}

TEST(StoredTextBox, ALoneCarriageReturnAlsoBreaksTheLine) {
  StoredTextBox box;
  const QString stored = QStringLiteral("a\r\nb\rc");
  box.setStoredText(stored);
  EXPECT_EQ(box.storedText(), stored);
  EXPECT_EQ(S(box.toPlainText()), "a\nb\nc");
}

}  // namespace
}  // namespace brindlet::ui
