// The secondary windows: the grid-count texts, every window's controls where
// they were designed, captions that fit, where Tab takes the focus, and the
// controls panel's external-window check box.
#include "ui/aux_windows.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFontMetricsF>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <functional>

#include "ui_test_support.h"

namespace brindlet::ui {
namespace {

QString Two(int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); }

TEST(GridTexts, HaveTheirLengthsBreaksHeadsAndCells) {
  const std::pair<QString, qsizetype> lengths[] = {
      {ColumnHeadsText(), 357}, {RowHeadsText(), 80}, {PartCountGridText(), 5582}};
  for (const auto& [text, length] : lengths) {
    EXPECT_EQ(text.size(), length);
    EXPECT_EQ(text.count('\r'), text.count("\r\n")) << "no lone CR";
    EXPECT_EQ(text.count('\n'), text.count("\r\n")) << "no lone LF";
  }
  const QString columns = ColumnHeadsText();
  EXPECT_TRUE(columns.startsWith("  01   |   02   |   "));
  EXPECT_TRUE(columns.endsWith("39   |   40\r\n"));
  for (int c = 1; c <= 40; ++c) EXPECT_EQ(columns.mid(2 + (c - 1) * 9, 2), Two(c)) << "column " << c;
  EXPECT_EQ(columns.count("   |   "), 39);
  for (int r = 1; r <= 20; ++r) EXPECT_EQ(RowHeadsText().mid((r - 1) * 4, 4), Two(r) + "\r\n") << "row " << r;
  // Twenty equal lines of 40 cells, then one empty line.
  const QString grid = PartCountGridText();
  const QString line = grid.left(279);
  EXPECT_TRUE(line.startsWith("9999 | 9999 | ") && line.endsWith(" | 9999\r\n"));
  EXPECT_EQ(line.count("9999"), 40);
  EXPECT_EQ(grid, line.repeated(20) + "\r\n");
}

struct WindowCase {
  const char* name;
  std::function<std::unique_ptr<QWidget>()> make;
  const char* title;
  QSize size;
  bool tool;  // a tool window; otherwise a borderless banner
  bool centred;
  std::vector<Placed> controls;
  friend void PrintTo(const WindowCase& c, std::ostream* os) { *os << c.name; }
};

template <typename W>
std::unique_ptr<QWidget> Make() {
  return std::make_unique<W>();
}

class AuxWindow : public ::testing::TestWithParam<WindowCase> {};

TEST_P(AuxWindow, IsAFixedWindowWithItsControlsWhereDesigned) {
  const WindowCase& c = GetParam();
  const std::unique_ptr<QWidget> window = c.make();
  EXPECT_EQ(window->windowTitle(), c.title);
  EXPECT_EQ(window->parentWidget(), nullptr) << "no owner";
  EXPECT_EQ(window->windowType() == Qt::Tool, c.tool);
  EXPECT_EQ(window->windowFlags().testFlag(Qt::FramelessWindowHint), !c.tool);
  EXPECT_EQ(window->minimumSize(), c.size);
  EXPECT_EQ(window->maximumSize(), c.size);
  ExpectPlaced(*window, c.controls);
  if (c.centred) {
    const QPoint off = window->frameGeometry().center() - window->screen()->geometry().center();
    EXPECT_LE(off.manhattanLength(), 2) << "off centre by " << off.x() << "," << off.y();
  }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Ui, AuxWindow, ::testing::Values(
    WindowCase{"frmControls", Make<ControlsWindow>, "Controls", {350, 534}, true, false,
               {{"lblFPS", "frmControls", {8, 336, 185, 41}},
                {"chkShowPartCounts", "frmControls", {8, 56, 161, 25}},
                {"chkShowWindmap", "frmControls", {8, 112, 161, 25}},
                {"chkExternal", "frmControls", {8, 160, 145, 25}},
                {"lblInfo", "frmControls", {16, 216, 217, 73}},
                {"lblFlakeCount", "frmControls", {8, 392, 257, 65}},
                {"scrNumFlakes", "frmControls", {16, 472, 321, 25}}}},
    WindowCase{"frmExternal", Make<ExternalWindow>, "", {962, 542}, true, true,
               {{"PicExOutput", "frmExternal", {0, 0, 962, 542}}}},
    WindowCase{"frmStart", Make<StartWindow>, "Form1", {433, 162}, false, true,
               {{"pbFBG", "frmStart", {0, 0, 433, 161}},
                {"pbProgressFrame", "pbFBG", {32, 96, 369, 33}},
                {"pbProgress", "pbProgressFrame", {-8, -8, 1, 41}},
                {"lblStart", "pbFBG", {48, 40, 337, 33}}}},
    WindowCase{"frmPartCount", Make<PartCountWindow>, "Grid Counts", {1361, 325}, true, false,
               {{"Text1", "frmPartCount", {32, 8, 1321, 17}},
                {"Text2", "frmPartCount", {8, 32, 17, 285}},
                {"txtPartCount", "frmPartCount", {32, 32, 1321, 285}}}}),
    [](const auto& named) { return std::string(named.param.name); });
// clang-format on

TEST(AuxWindows, CaptionsFit) {
  ControlsWindow w;
  StartWindow start;
  const std::pair<QLabel*, const char*> labels[] = {{w.lblFPS(), "Label1"},
                                                    {w.lblInfo(), "Label1"},
                                                    {w.lblFlakeCount(), "Label1"},
                                                    {start.lblStart(), "Starting..."}};
  for (const auto& [label, caption] : labels) {
    EXPECT_EQ(label->text(), caption);
    EXPECT_LE(label->fontMetrics().boundingRect(label->text()).width(), label->width()) << caption;
    EXPECT_LE(label->fontMetrics().height(), label->height()) << caption;
  }
  EXPECT_TRUE(start.lblStart()->alignment().testFlag(Qt::AlignHCenter));
  const std::pair<QCheckBox*, const char*> boxes[] = {{w.chkShowPartCounts(), "Show Particle Counts"},
                                                      {w.chkShowWindmap(), "Show Wind Map"},
                                                      {w.chkExternal(), "External Window"}};
  for (const auto& [box, caption] : boxes) {
    EXPECT_EQ(box->text(), caption);
    EXPECT_LE(box->sizeHint().width(), box->width()) << caption;
  }
}

// A window opens with the focus on its first control that takes it, and Tab
// goes round the others in the designed order.
TEST(AuxWindows, TabGoesRoundTheControlsInTheDesignedOrder) {
  ControlsWindow controls;
  PartCountWindow grid;
  EXPECT_EQ(TabRound(controls),
            std::vector<std::string>({"chkShowPartCounts", "chkShowWindmap", "chkExternal", "scrNumFlakes"}));
  EXPECT_EQ(TabRound(grid), std::vector<std::string>({"txtPartCount", "Text1", "Text2"}));
}

TEST(PartCountWindow, ShowsItsTextsWithEveryLineWhole) {
  PartCountWindow window;
  window.show();
  const std::pair<StoredTextBox*, QString> boxes[] = {{window.text1(), ColumnHeadsText()},
                                                      {window.text2(), RowHeadsText()},
                                                      {window.txtPartCount(), PartCountGridText()}};
  for (const auto& [box, stored] : boxes) {
    SCOPED_TRACE(box->objectName().toStdString());
    EXPECT_TRUE(box->isReadOnly());
    EXPECT_EQ(box->toPlainText(), QString(stored).replace("\r\n", "\n"));
    // Every line fits across, and the ink of the last one ends inside the box.
    const qreal margin = box->document()->documentMargin();
    const QFontMetricsF metrics(box->font());
    QTextBlock last;
    for (QTextBlock b = box->document()->begin(); b.isValid(); b = b.next()) {
      if (b.text().isEmpty()) continue;
      EXPECT_LE(metrics.horizontalAdvance(b.text()), box->contentsRect().width() - 2 * margin);
      last = b;
    }
    ASSERT_TRUE(last.isValid());
    const QTextLine line = last.layout()->lineAt(0);
    const qreal baseline = last.layout()->position().y() + line.y() + line.ascent();
    EXPECT_LE(baseline + metrics.tightBoundingRect(last.text()).bottom(), box->contentsRect().height());
  }
  EXPECT_EQ(window.text2()->font().stretch(), 100) << "the row heads fit without narrowing";

  StoredTextBox box;
  box.setStoredText("a\r\nb\rc");
  EXPECT_EQ(box.toPlainText(), "a\nb\nc") << "a lone CR breaks the line too";
}

TEST(ControlsWindow, ExternalCheckBoxShowsAndHidesOneOwnerlessWindow) {
  auto window = std::make_unique<ControlsWindow>();
  window->show();
  window->chkExternal()->setChecked(true);  // a value set without a click runs nothing
  EXPECT_EQ(window->external(), nullptr);
  window->chkExternal()->click();  // unchecked first: made, but hidden
  QPointer<ExternalWindow> external = window->external();
  ASSERT_FALSE(external.isNull());
  EXPECT_FALSE(external->isVisible());
  EXPECT_EQ(external->parentWidget(), nullptr);
  for (bool shown : {true, false, true}) {
    window->chkExternal()->click();
    EXPECT_EQ(window->external(), external.data()) << "always the same window";
    EXPECT_EQ(external->isVisible(), shown);
  }
  EXPECT_FALSE(external->isModal());
  // The other controls change nothing.
  window->chkShowPartCounts()->click();
  window->chkShowWindmap()->click();
  window->scrNumFlakes()->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_TRUE(external->isVisible());
  EXPECT_EQ(window->lblFPS()->text(), "Label1");

  EXPECT_TRUE(window->close());
  EXPECT_FALSE(external->isVisible()) << "closing the panel closes the external window";
  window.reset();
  EXPECT_TRUE(external.isNull()) << "destroyed with the panel";
}

}  // namespace
}  // namespace brindlet::ui
