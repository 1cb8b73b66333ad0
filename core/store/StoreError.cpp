#include "store/StoreError.hpp"
#include "platform/PlatformWording.hpp"

namespace lumetra {

namespace {
// The merge tolerance as the message states it; always five minutes, whatever a caller passed.
constexpr int kMergeMinutesInMessage = 5;
}  // namespace

std::string StoreError::description() const {
  switch (case_) {
    case Case::duplicateName:
      return "A project named “" + name_ + "” already exists.";
    case Case::leadingFormulaCharacter: {
      const char* subject = field_ == Field::projectName   ? "A project name"
                            : field_ == Field::description ? "A description"
                                                           : "A source ID";
      return std::string(subject) +
             " can't start with =, +, - or @. Spreadsheets would read it as a formula when your time is exported.";
    }
    case Case::emptyName:
      return "Project name cannot be empty.";
    case Case::endBeforeStart:
      return "The end time must be after the start time.";
    case Case::inFuture:
      return "Times can't be in the future.";
    case Case::sessionNotFound:
      return PlatformWording::worded("That session no longer exists or has changed. Reopen the menu and try again.");
    case Case::splitOutsideSession:
      return "The split time must be after the session starts and before it ends.";
    case Case::cannotMerge:
      return PlatformWording::worded(
          "Those sessions can't be merged. They must be for the same project, with the same kind of times (real, "
          "approximate or placeholder), next to each other and at most " +
          std::to_string(kMergeMinutesInMessage) + " minutes apart. Reopen the menu and try again.");
  }
  return {};
}

}  // namespace lumetra
