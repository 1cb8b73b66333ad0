#include "tracking/ResumeError.hpp"

#include "tracking/Tracker.hpp"

namespace lumetra {

std::string ResumeError::description() const {
  switch (case_) {
    case Case::alreadyTracking:
      return "Something is already being tracked. Use start to switch to a project.";
    case Case::nothingToResume:
      return "There's no session to resume. Only a tracked session that ended less than " +
             Tracker::resumeWindowText() + " ago, in a project that isn't archived, can be.";
    case Case::projectUnavailable:
      return "That session's project is archived or deleted. Unarchive it to track it again.";
  }
  return {};
}

}  // namespace lumetra
