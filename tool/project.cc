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

void ProjectConstructor(CORVobject self) {
  reinterpret_cast<Project *>(self)->Constructor();
}

void ProjectMoveBuiltApplications(CORVobject self, CORVobject buildsDirectory) {
  reinterpret_cast<Project *>(self)->MoveBuiltApplications(
      corv::Ref<corv::FolderItem>::Share(buildsDirectory));
}

void ProjectPostBuild(CORVobject self) {
  reinterpret_cast<Project *>(self)->PostBuild();
}

// The virtual operations in slot order: Constructor, PrepareForBuild,
// MoveBuiltApplications, GetBuildFlags, Cleanup, PostBuild,
// RenderBuildScript, BuildFinished. Each joins the table at its place as
// it is written.
const CORVmethodDecl kProjectMethods[] = {
    {"Constructor", "%%", reinterpret_cast<void *>(&ProjectConstructor)},
    {"MoveBuiltApplications", "%%o", reinterpret_cast<void *>(&ProjectMoveBuiltApplications)},
    {"PostBuild", "%%", reinterpret_cast<void *>(&ProjectPostBuild)},
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
