#include "actions/ProjectActions.hpp"

namespace lumetra {

namespace {

ProjectInfo info(const Project& project) { return {project.id, project.name, project.archived}; }

ProjectChange changed(const Project& project) {
  ProjectChange change;
  change.project = info(project);
  return change;
}

}  // namespace

ProjectsReply ProjectActions::list(const ProjectList& request) {
  ProjectsReply reply;
  for (const auto& project : tracker_.store().projects(request.all.value_or(false))) {
    reply.projects.push_back(info(project));
  }
  return reply;
}

ProjectChange ProjectActions::add(const ProjectAdd& request, Instant now) {
  return changed(tracker_.createProject(request.name, now));
}

ProjectChange ProjectActions::rename(const ProjectRename& request) {
  const Project project = control_.findProject(request.name, "project");
  tracker_.renameProject(project.id, request.newName);
  ProjectChange change = changed(*tracker_.store().project(project.id));
  change.oldName = project.name;
  return change;
}

ProjectChange ProjectActions::setArchived(const std::string& name, bool archived, Instant now) {
  const Project project = control_.findProject(name, "project");
  const bool wasRunning = tracker_.current() && tracker_.current()->projectId == project.id;
  tracker_.setArchived(project.id, archived, now);
  ProjectChange change = changed(*tracker_.store().project(project.id));
  change.stoppedRunning = wasRunning && !tracker_.isTracking();
  return change;
}

ProjectChange ProjectActions::archive(const ProjectArchive& request, Instant now) {
  return setArchived(request.name, true, now);
}

ProjectChange ProjectActions::unarchive(const ProjectUnarchive& request, Instant now) {
  return setArchived(request.name, false, now);
}

ProjectChange ProjectActions::remove(const ProjectDelete& request, Instant now) {
  const Project project = control_.findProject(request.name, "project");
  const bool wasRunning = tracker_.current() && tracker_.current()->projectId == project.id;
  const std::int64_t count = sessionCount(project.id);
  tracker_.deleteProject(project.id, now);
  ProjectChange change = changed(project);
  change.deletedSessions = count;
  change.stoppedRunning = wasRunning && !tracker_.isTracking();
  return change;
}

ProjectChange ProjectActions::usage(const ProjectUsage& request) {
  const Project project = control_.findProject(request.name, "project");
  ProjectChange change = changed(project);
  change.sessions = sessionCount(project.id);
  return change;
}

std::int64_t ProjectActions::sessionCount(std::int64_t projectId) {
  return static_cast<std::int64_t>(tracker_.store().sessions(std::vector{projectId}, std::nullopt, std::nullopt).size());
}

}  // namespace lumetra
