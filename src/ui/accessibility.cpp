#include "ui/accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <algorithm>
#include <array>
#include <vector>

#include "game/procedures.h"

namespace brindlet::ui {
namespace {

// The boards whose playfields the factory knows.
std::vector<AccessibleBoard*>& Boards() {
  static std::vector<AccessibleBoard*> boards;
  return boards;
}

void Send(QAccessibleEvent&& event) { QAccessible::updateAccessibility(&event); }

}  // namespace

// One peg in play, by its index: a child of the playfield's interface, which
// owns it. Everything is read from the board when asked.
class PegAccessible final : public QAccessibleInterface {
 public:
  PegAccessible(PlayfieldAccessible& field, int peg) : field_(field), peg_(peg) {}

  bool isValid() const override;
  QObject* object() const override { return nullptr; }
  QWindow* window() const override;
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* parent() const override;
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QString text(QAccessible::Text t) const override;
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override;
  QAccessible::Role role() const override { return QAccessible::ListItem; }
  QAccessible::State state() const override;

 private:
  PlayfieldAccessible& field_;
  int peg_;
};

// The playfield: a list of the pegs in play, in index order (Tab's order).
class PlayfieldAccessible final : public QAccessibleWidget {
 public:
  PlayfieldAccessible(AccessibleBoard& board)
      : QAccessibleWidget(&board.playfield(), QAccessible::List), board_(&board) {
    board.accessible_ = this;
  }
  ~PlayfieldAccessible() override {
    if (board_ != nullptr) board_->accessible_ = nullptr;
    for (PegAccessible* peg : pegs_) {
      if (peg != nullptr) QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(peg));
    }
  }
  // The board goes before the playfield: from then on the list is empty.
  void Detach() { board_ = nullptr; }
  const AccessibleBoard* board() const { return board_; }

  bool isValid() const override { return board_ != nullptr && QAccessibleWidget::isValid(); }
  int childCount() const override { return board_ != nullptr ? board_->game().board().Total() : 0; }
  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index >= childCount()) return nullptr;
    PegAccessible*& peg = pegs_[static_cast<std::size_t>(index)];
    if (peg == nullptr) {
      peg = new PegAccessible(*const_cast<PlayfieldAccessible*>(this), index + 1);
      QAccessible::registerAccessibleInterface(peg);
    }
    return peg;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    const auto at = std::find(pegs_.begin(), pegs_.end(), child);
    const int index = at == pegs_.end() ? -1 : static_cast<int>(at - pegs_.begin());
    return index < childCount() ? index : -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    // The last one drawn is on top.
    for (int i = childCount() - 1; i >= 0; --i) {
      if (child(i)->rect().contains(x, y)) return child(i);
    }
    return nullptr;
  }
  QAccessibleInterface* focusChild() const override {
    const int peg = board_ != nullptr ? board_->FocusedPeg() : 0;
    return peg > 0 ? child(peg - 1) : nullptr;
  }

 private:
  AccessibleBoard* board_;
  mutable std::array<PegAccessible*, PegTable::kCapacity> pegs_{};
};

bool PegAccessible::isValid() const { return field_.board() != nullptr && peg_ <= field_.childCount(); }

QWindow* PegAccessible::window() const { return field_.window(); }

QAccessibleInterface* PegAccessible::parent() const { return &field_; }

QString PegAccessible::text(QAccessible::Text t) const {
  if (t != QAccessible::Name || !isValid()) return {};
  BoardFacts facts;
  ReadFacts(field_.board()->game().board(), facts);
  return QString::fromStdString(PegPhrase(peg_, facts[static_cast<std::size_t>(peg_)]));
}

QRect PegAccessible::rect() const {
  if (!isValid()) return {};
  // Where a click hits the peg, mapped from image pixels to the screen.
  const Playfield& field = field_.board()->playfield();
  const Peg& peg = field_.board()->game().board().Pegs[peg_];
  const QPointF offset = field.contentsRect().topLeft();
  const QPointF from = field.mapToGlobal(offset + field.FromBitmap({peg.X - kPickRadius, peg.Y - kPickRadius}));
  const QPointF to = field.mapToGlobal(offset + field.FromBitmap({peg.X + kPickRadius, peg.Y + kPickRadius}));
  return QRectF(from, to).toAlignedRect();
}

QAccessible::State PegAccessible::state() const {
  QAccessible::State state;
  if (!isValid()) {
    state.invalid = true;
    return state;
  }
  state.focusable = true;
  state.selectable = true;
  state.selected = field_.board()->game().board().Pegs[peg_].Selected;
  state.focused = field_.board()->FocusedPeg() == peg_;
  state.invisible = !field_.board()->playfield().isVisible();
  return state;
}

namespace {

// The announcer's interface: a notification whose name and text are the
// last thing said.
class AnnouncerAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit AnnouncerAccessible(Announcer& announcer)
      : QAccessibleWidget(&announcer, QAccessible::Notification), announcer_(announcer) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Name ? announcer_.text() : QAccessibleWidget::text(t);
  }
  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = true;
    return state;
  }

  // --- QAccessibleTextInterface ---
  void selection(int, int* start, int* end) const override { *start = *end = 0; }
  int selectionCount() const override { return 0; }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  int cursorPosition() const override { return 0; }
  void setCursorPosition(int) override {}
  QString text(int start, int end) const override { return announcer_.text().mid(start, end - start); }
  int characterCount() const override { return static_cast<int>(announcer_.text().size()); }
  QRect characterRect(int) const override { return {}; }
  int offsetAtPoint(const QPoint&) const override { return -1; }
  void scrollToSubstring(int, int) override {}
  QString attributes(int, int* start, int* end) const override {
    *start = 0;
    *end = characterCount();
    return {};
  }

 private:
  Announcer& announcer_;
};

QAccessibleInterface* Factory(const QString&, QObject* object) {
  if (auto* announcer = qobject_cast<Announcer*>(object)) return new AnnouncerAccessible(*announcer);
  for (AccessibleBoard* board : Boards()) {
    if (&board->playfield() == object) return new PlayfieldAccessible(*board);
  }
  return nullptr;
}

}  // namespace

Announcer::Announcer(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("announcer"));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  setGeometry(0, 0, 0, 0);
}

void Announce(Announcer& announcer, const QString& text) {
  const QString before = announcer.text();
  announcer.SetText(text);
  Send(QAccessibleTextUpdateEvent(&announcer, 0, before, text));
  Send(QAccessibleEvent(&announcer, QAccessible::NameChanged));
  Send(QAccessibleEvent(&announcer, QAccessible::ObjectShow));
}

AccessibleBoard::AccessibleBoard(const Game& game, Playfield& playfield, QWidget& window)
    : game_(game), playfield_(playfield), announcer_(new Announcer(&window)) {
  // Qt forgets a factory installed before the application object exists;
  // the main window is made after it.
  static const bool installed = (QAccessible::installFactory(Factory), true);
  (void)installed;
  Boards().push_back(this);
}

AccessibleBoard::~AccessibleBoard() {
  std::erase(Boards(), this);
  if (accessible_ != nullptr) {
    accessible_->Detach();
    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(accessible_));
  }
}

int AccessibleBoard::FocusedPeg() const {
  const KeyCursor cursor = game_.keyCursor();
  return cursor.shown && game_.board().IsPeg(cursor.peg) ? cursor.peg : 0;
}

void AccessibleBoard::Update() {
  if (!QAccessible::isActive()) {
    told_ = false;
    return;
  }
  const Board& board = game_.board();
  ReadFacts(board, now_);
  const int total = board.Total();
  const int focused = FocusedPeg();
  const HappeningLog& log = game_.happenings();
  const std::optional<std::string> caption = StateCaption(board.gState);
  if (!told_) {
    // Assistive technology has just come: from here on, what changes. Qt
    // may have made a plain interface for the playfield before this board
    // was known; that one goes, and the factory makes the board's.
    if (QAccessibleInterface* made = QAccessible::queryAccessibleInterface(&playfield_); made != accessible_) {
      QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
    }
    told_ = true;
    facts_ = now_;
    total_ = total;
    focused_ = focused;
    happenings_ = log.count();
    caption_ = caption;
    return;
  }

  if (now_ == facts_ && total == total_ && focused == focused_ && log.count() == happenings_ && caption == caption_) {
    return;  // what a tick finds most of the time
  }
  QAccessibleInterface* field = QAccessible::queryAccessibleInterface(&playfield_);
  if (field == nullptr) return;
  if (total != total_) Send(QAccessibleEvent(field, QAccessible::ObjectReorder));
  for (int i = 1; i <= total; ++i) {
    const PegFacts& was = facts_[static_cast<std::size_t>(i)];
    const PegFacts& is = now_[static_cast<std::size_t>(i)];
    if (was == is) continue;
    QAccessibleInterface* peg = field->child(i - 1);
    Send(QAccessibleEvent(peg, QAccessible::NameChanged));
    if (was.selected != is.selected) {
      Send(QAccessibleEvent(peg, is.selected ? QAccessible::SelectionAdd : QAccessible::SelectionRemove));
    }
  }
  if (focused != focused_) {
    // The mouse in use hides the cursor: the focus goes back to the playfield.
    Send(QAccessibleEvent(focused > 0 ? field->child(focused - 1) : field, QAccessible::Focus));
  }

  std::string said;
  for (std::uint64_t n = happenings_; n < log.count(); ++n) {
    if (const std::optional<Happened> happened = log.At(n)) said += Sentence(*happened, now_) + " ";
  }
  if (caption && caption != caption_) said += *caption + ".";
  if (!said.empty() && said.back() == ' ') said.pop_back();
  if (!said.empty()) Announce(*announcer_, QString::fromStdString(said));

  facts_ = now_;
  total_ = total;
  focused_ = focused;
  happenings_ = log.count();
  caption_ = caption;
}

}  // namespace brindlet::ui
