// The secondary windows: the controls panel, the external output window, the
// start-up banner and the grid-count table.
//
// They come from a particle display and the peg game never opens them. Only
// the controls window carries behaviour: its "External Window" check box shows
// and hides the external window. The main window creates the controls window
// on demand so that shutting down can close it with the rest.
//
// Every control is placed at a fixed position in pixels inside its parent and
// carries its own name as objectName, so it can be looked up by name.
#pragma once

#include <memory>

#include <QFont>
#include <QString>
#include <QStringList>
#include <QTextEdit>
#include <QWidget>

class QCheckBox;
class QCloseEvent;
class QLabel;
class QScrollBar;

namespace brindlet::ui {

// The three texts of the grid-count window, exactly as they are stored, with
// CR LF line breaks.
// Two spaces, then 01..40 joined by "   |   ", then a line break.
QString ColumnHeadsText();
// 01..20, each followed by a line break.
QString RowHeadsText();
// 20 lines of 40 fields "9999" joined by " | ", each ended by a line break,
// then one more line break.
QString PartCountGridText();

// A font asked for by name first, then by the given stand-ins in order, at a
// fractional point size. Windows fonts such as Calibri or Consolas are rarely
// installed here, so each asks for a similar font that is.
QFont DesignFont(const QStringList& families, qreal pointSize, bool bold);

// A read-only multi-line text box that keeps its text exactly as it was set
// (CR LF breaks included) while showing it as ordinary lines, one stored line
// per shown line.
class StoredTextBox : public QTextEdit {
  Q_OBJECT

 public:
  explicit StoredTextBox(QWidget* parent = nullptr);

  void setStoredText(const QString& text);
  const QString& storedText() const { return stored_; }

  // Makes every stored line fit the box at its current size and font: lines
  // too wide narrow the font just enough, lines too tall for the box get a
  // tighter line spacing. A stand-in font can be a little wider or taller
  // than the one the table was laid out for; the design font fits as it is.
  void FitToBox();

 private:
  QString stored_;
};

// `frmExternal`: a large, blank black output surface in a fixed-size tool
// window, centred on the screen. Nothing draws into it.
class ExternalWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 962;
  static constexpr int kClientHeight = 542;

  explicit ExternalWindow(QWidget* parent = nullptr);

  QWidget* picExOutput() const { return picExOutput_; }

 private:
  QWidget* picExOutput_ = nullptr;
};

// `frmControls`: a small control panel. Checking "External Window" shows the
// external window (created on first use); unchecking hides it. The other
// controls do nothing.
class ControlsWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 350;
  static constexpr int kClientHeight = 534;

  explicit ControlsWindow(QWidget* parent = nullptr);
  ~ControlsWindow() override;

  // The external window, or nullptr until the check box is first clicked.
  ExternalWindow* external() const { return external_.get(); }

  QLabel* lblFPS() const { return lblFPS_; }
  QCheckBox* chkShowPartCounts() const { return chkShowPartCounts_; }
  QCheckBox* chkShowWindmap() const { return chkShowWindmap_; }
  QCheckBox* chkExternal() const { return chkExternal_; }
  QLabel* lblInfo() const { return lblInfo_; }
  QLabel* lblFlakeCount() const { return lblFlakeCount_; }
  QScrollBar* scrNumFlakes() const { return scrNumFlakes_; }

 protected:
  // Closing the panel also closes the external window it opened.
  void closeEvent(QCloseEvent* event) override;

 private:
  void chkExternal_Click();
  void chkShowPartCounts_Click();
  ExternalWindow& EnsureExternal();

  QLabel* lblFPS_ = nullptr;
  QCheckBox* chkShowPartCounts_ = nullptr;
  QCheckBox* chkShowWindmap_ = nullptr;
  QCheckBox* chkExternal_ = nullptr;
  QLabel* lblInfo_ = nullptr;
  QLabel* lblFlakeCount_ = nullptr;
  QScrollBar* scrNumFlakes_ = nullptr;

  // A top-level window of its own (no owner), but this panel keeps it alive
  // and destroys it with itself.
  std::unique_ptr<ExternalWindow> external_;
};

// `frmStart`: a borderless start-up banner with an unfilled progress bar and
// the line "Starting...", centred on the screen.
class StartWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 433;
  static constexpr int kClientHeight = 162;

  explicit StartWindow(QWidget* parent = nullptr);

  QWidget* pbFBG() const { return pbFBG_; }
  QWidget* pbProgressFrame() const { return pbProgressFrame_; }
  QWidget* pbProgress() const { return pbProgress_; }
  QLabel* lblStart() const { return lblStart_; }

 private:
  QWidget* pbFBG_ = nullptr;
  QWidget* pbProgressFrame_ = nullptr;
  QWidget* pbProgress_ = nullptr;
  QLabel* lblStart_ = nullptr;
};

// `frmPartCount`: a 20 x 40 table of counts, with column and row heads, in
// three read-only text boxes on black.
class PartCountWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 1361;
  static constexpr int kClientHeight = 325;

  explicit PartCountWindow(QWidget* parent = nullptr);

  StoredTextBox* text1() const { return text1_; }
  StoredTextBox* text2() const { return text2_; }
  StoredTextBox* txtPartCount() const { return txtPartCount_; }

 private:
  StoredTextBox* text1_ = nullptr;
  StoredTextBox* text2_ = nullptr;
  StoredTextBox* txtPartCount_ = nullptr;
};

}  // namespace brindlet::ui
