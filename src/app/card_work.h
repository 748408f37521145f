// Where the card's work stands, as one state with its transitions instead of
// flags spread over the window:
//
//   NoCard ──load──▶ Loading ──done──▶ Loaded ◀──undo to clean── Edited
//                       │  └─an old-format journal─▶ Interrupted     ▲
//                       └─declined, failed: back where it was         │ edit
//   Loaded / Edited / Interrupted ──write──▶ Writing ──reload──▶ Loading
//                                               ├─card unchanged: back (edits kept)
//                                               └─card gone──▶ Pulled
//   Loaded / Edited / Interrupted ──card leaves──▶ Pulled
//   Pulled ──the same card back, tables unchanged──▶ where it was
//
// While Loading or Writing a worker holds the card and the session: nothing
// else may start, and the window keeps its controls off.
#pragma once

#include <QObject>

namespace fenmora::app {

class CardWork : public QObject {
  Q_OBJECT
 public:
  enum class State { NoCard, Loading, Loaded, Edited, Writing, Interrupted, Pulled };
  explicit CardWork(QObject* parent = nullptr) : QObject(parent) {}

  State state() const { return state_; }
  // A worker holds the card.
  bool Busy() const { return state_ == State::Loading || state_ == State::Writing; }
  // Lists of a card that is there to write to or to back up.
  bool CardThere() const {
    return state_ == State::Loaded || state_ == State::Edited || state_ == State::Interrupted;
  }
  // A commit would change the card.
  bool CommitDue() const { return state_ == State::Edited || state_ == State::Interrupted; }
  // The due commit returns the card to its state before an interrupted update.
  bool Reverting() const { return state_ == State::Interrupted && reverting_; }
  // The lists hold what is not on the card: edits, or an interrupted update
  // to carry out (also while the card is out).
  bool HoldsEdits() const;

  // ---- transitions (each ignored where the diagram has no arrow)
  void LoadStarted();
  // The load ended: `completed` false leaves the state it started from.
  // `interrupted`: the lists come from an old-format journal (reverting: the
  // state before it), which the next commit carries out.
  void LoadEnded(bool completed, bool interrupted = false, bool reverting = false);
  // The edit history became dirty or clean.
  void EditsChanged(bool dirty);
  void WriteStarted();
  // The write ended without touching the card: back to where it started.
  void WriteLeftCardAsItWas();
  // The write found the card gone, or it went while written.
  void WriteFoundCardGone();
  // The loaded card left the system (or its folder went).
  void CardPulled();
  // The loaded card is there again: with its tables as loaded, the lists
  // are its lists again (edits kept); otherwise it stays to be loaded.
  void CardBack(bool unchanged);

 signals:
  void stateChanged(fenmora::app::CardWork::State state);

 private:
  void Enter(State state);
  State state_ = State::NoCard;
  // Where a load or write started, and where the card was when it left.
  State before_ = State::NoCard;
  bool reverting_ = false;
};

}  // namespace fenmora::app
