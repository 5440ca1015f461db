// The secondary windows: the grid-count texts, every window's controls apart
// with their captions whole, where Tab takes the focus, and the controls
// panel's external-window check box.
#include "ui/aux_windows.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFontMetricsF>
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

// Forty numbered columns and twenty numbered rows, every line ended by a
// CR LF pair; the grid twenty equal lines of forty cells and an empty line.
TEST(GridTexts, NumberTheColumnsAndRowsOfTheGrid) {
  const auto lines = [](const QString& text) {
    EXPECT_EQ(text.count('\r'), text.count("\r\n"));
    EXPECT_EQ(text.count('\n'), text.count("\r\n"));
    return text.split("\r\n");
  };
  QStringList heads;
  for (int n = 1; n <= 40; ++n) heads << QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
  EXPECT_EQ(lines(ColumnHeadsText()), QStringList({"  " + heads.join("   |   "), ""}));
  EXPECT_EQ(lines(RowHeadsText()), heads.mid(0, 20) + QStringList{""});
  const QString cells = QStringList(40, "9999").join(" | ");
  EXPECT_EQ(lines(PartCountGridText()), QStringList(20, cells) + QStringList({"", ""}));
}

struct WindowCase {
  const char* name;
  std::function<std::unique_ptr<QWidget>()> make;
  bool tool;  // a tool window; otherwise a borderless banner
  bool centred;
  friend void PrintTo(const WindowCase& c, std::ostream* os) { *os << c.name; }
};

template <typename W>
std::unique_ptr<QWidget> Make() {
  return std::make_unique<W>();
}

class AuxWindow : public ::testing::TestWithParam<WindowCase> {};

TEST_P(AuxWindow, IsAFixedOwnerlessWindowWithItsControlsApartAndCaptionsWhole) {
  const WindowCase& c = GetParam();
  const std::unique_ptr<QWidget> window = c.make();
  EXPECT_EQ(window->parentWidget(), nullptr) << "no owner";
  EXPECT_EQ(window->windowType() == Qt::Tool, c.tool);
  EXPECT_EQ(window->windowFlags().testFlag(Qt::FramelessWindowHint), !c.tool);
  EXPECT_EQ(window->minimumSize(), window->maximumSize());
  ExpectControlsApartAndCaptionsFit(*window);
  if (c.centred) {
    const QPoint off = window->frameGeometry().center() - window->screen()->geometry().center();
    EXPECT_LE(off.manhattanLength(), 2) << "off centre by " << off.x() << "," << off.y();
  }
}

INSTANTIATE_TEST_SUITE_P(Ui, AuxWindow,
                         ::testing::Values(WindowCase{"frmControls", Make<ControlsWindow>, true, false},
                                           WindowCase{"frmExternal", Make<ExternalWindow>, true, true},
                                           WindowCase{"frmStart", Make<StartWindow>, false, true},
                                           WindowCase{"frmPartCount", Make<PartCountWindow>, true, false}),
                         [](const auto& named) { return std::string(named.param.name); });

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
  box.resize(120, 40);  // lines closer together where the box is too short for them
  box.setStoredText("1\n2\n3\n4\n5\n6");
  box.FitToBox();
  const QTextBlock last = box.document()->lastBlock();
  EXPECT_LT(last.layout()->position().y(), box.contentsRect().height()) << "the last line starts inside the box";
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
