#include "app/card_work.h"

namespace fenmora::app {

bool CardWork::HoldsEdits() const {
  return CommitDue() || (state_ == State::Pulled && (before_ == State::Edited || before_ == State::Interrupted));
}

void CardWork::Enter(State state) {
  if (state == state_) return;
  state_ = state;
  emit stateChanged(state);
}

void CardWork::LoadStarted() {
  if (state_ == State::Loading) return;
  // The reload that ends a write goes back, if it fails, to where the write
  // started.
  if (state_ != State::Writing) before_ = state_;
  Enter(State::Loading);
}

void CardWork::LoadEnded(bool completed, bool interrupted, bool reverting) {
  if (state_ != State::Loading) return;
  if (!completed) return Enter(before_);
  reverting_ = interrupted && reverting;
  Enter(interrupted ? State::Interrupted : State::Loaded);
}

void CardWork::EditsChanged(bool dirty) {
  if (state_ == State::Loaded && dirty) Enter(State::Edited);
  else if (state_ == State::Edited && !dirty) Enter(State::Loaded);
  else if (state_ == State::Pulled && before_ != State::Interrupted)
    before_ = dirty ? State::Edited : State::Loaded;
}

void CardWork::WriteStarted() {
  if (!CardThere()) return;
  before_ = state_;
  Enter(State::Writing);
}

void CardWork::WriteLeftCardAsItWas() {
  if (state_ == State::Writing) Enter(before_);
}

void CardWork::WriteFoundCardGone() {
  if (state_ == State::Writing) Enter(State::Pulled);
}

void CardWork::CardPulled() {
  if (!CardThere()) return;
  before_ = state_;
  Enter(State::Pulled);
}

void CardWork::CardBack(bool unchanged) {
  if (state_ == State::Pulled && unchanged) Enter(before_);
}

}  // namespace fenmora::app
