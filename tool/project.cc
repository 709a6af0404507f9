// The Project class: its declaration, its Constructor and the release of
// its fields.
#include "project.h"

#include "corv/class_decl.h"

namespace kilnrun {
namespace {

void ProjectFinalizer(CORVobject obj) {
  auto *self = reinterpret_cast<Project *>(obj);
  for (corv::FolderItem **item :
       {&self->file, &self->postBuildScript, &self->prebuildScript, &self->plistFile})
    corv::Assign(item, corv::Ref<corv::FolderItem>());
  for (corv::Dictionary **dictionary :
       {&self->buildNames, &self->properties, &self->constants, &self->lastAppBuildTimes})
    corv::Assign(dictionary, corv::Ref<corv::Dictionary>());
  for (CORVstring *text :
       {&self->type, &self->path, &self->appClassName, &self->postBuildScriptPath,
        &self->prebuildScriptPath, &self->revision, &self->plistPath})
    corv::Assign(text, corv::String());
}

Project *Of(CORVobject self) {
  return reinterpret_cast<Project *>(self);
}

void ProjectConstructor(CORVobject self) {
  Of(self)->Constructor();
}
bool ProjectPrepareForBuild(CORVobject self) {
  return Of(self)->PrepareForBuild();
}
int32_t ProjectGetBuildFlags(CORVobject self) {
  return Of(self)->GetBuildFlags();
}
void ProjectCleanup(CORVobject self, bool keepWindows) {
  Of(self)->Cleanup(keepWindows);
}
CORVstring ProjectRenderBuildScript(CORVobject self) {
  return Of(self)->RenderBuildScript().Leak();
}
bool ProjectBuildFinished(CORVobject self) {
  return Of(self)->BuildFinished();
}

void ProjectMoveBuiltApplications(CORVobject self, CORVobject buildsDirectory) {
  Of(self)->MoveBuiltApplications(corv::Ref<corv::FolderItem>::Share(buildsDirectory));
}
void ProjectPostBuild(CORVobject self) {
  Of(self)->PostBuild();
}

// The virtual operations in slot order: Constructor, PrepareForBuild,
// MoveBuiltApplications, GetBuildFlags, Cleanup, PostBuild,
// RenderBuildScript, BuildFinished.
const CORVmethodDecl kProjectMethods[] = {
    {"Constructor", "%%", reinterpret_cast<void *>(&ProjectConstructor)},
    {"PrepareForBuild", "%b%", reinterpret_cast<void *>(&ProjectPrepareForBuild)},
    {"MoveBuiltApplications", "%%o", reinterpret_cast<void *>(&ProjectMoveBuiltApplications)},
    {"GetBuildFlags", "%i4%", reinterpret_cast<void *>(&ProjectGetBuildFlags)},
    {"Cleanup", "%%b", reinterpret_cast<void *>(&ProjectCleanup)},
    {"PostBuild", "%%", reinterpret_cast<void *>(&ProjectPostBuild)},
    {"RenderBuildScript", "%s%", reinterpret_cast<void *>(&ProjectRenderBuildScript)},
    {"BuildFinished", "%b%", reinterpret_cast<void *>(&ProjectBuildFinished)},
};

}  // namespace

const CORVclassDecl kProjectDecl = corv::ClassDecl("Project", sizeof(Project))
                                       .Finalizer(ProjectFinalizer)
                                       .Methods(kProjectMethods);

corv::Ref<Project> Project::New() {
  corv::Ref<Project> project = corv::New<Project>(&kProjectDecl);
  project->Constructor();
  return project;
}

void Project::Constructor() {
  corv::Assign(&buildNames, corv::Dictionary::New());
  corv::Assign(&properties, corv::Dictionary::New());
  corv::Assign(&constants, corv::Dictionary::New());
}

}  // namespace kilnrun
