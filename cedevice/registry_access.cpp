#include "cedevice/registry_access.h"

#include "cedevice/tool.h"
#include "platform/posix/device/device_dir.h"
#include "platform/posix/registry/registry_store.h"

namespace cedevice {

namespace {

// What the store's change callback needs: the edit, and where it leaves
// whether it ran and why it refused.
struct EditRun {
    const RegistryEdit* edit;
    bool* ran;
    std::string* refusal;
};

bool applyEdit(ce::posix::RegFile* file, const void* context) {
    const auto* run = static_cast<const EditRun*>(context);
    *run->ran = true;
    return (*run->edit)(file, run->refusal);
}

// The reason the store gave, or a plain statement when it named none.
int registryFailure(bool writing) {
    if (!ce::posix::deviceDirUsable())
        return kExitFailed;  // said by the device directory's check
    std::string problem = ce::posix::registryFailureText();
    if (problem.empty()) {
        problem = std::string(writing ? "cannot write" : "cannot read") + " the registry " +
                  ce::posix::deviceRegistryPath();
    }
    return fail(problem);
}

}  // namespace

std::shared_ptr<const ce::posix::RegFile> readRegistry() {
    std::shared_ptr<const ce::posix::RegFile> file = ce::posix::registryRead();
    if (file == nullptr)
        registryFailure(false);
    return file;
}

int editRegistry(const RegistryEdit& edit) {
    bool ran = false;
    std::string refusal;
    EditRun run{&edit, &ran, &refusal};
    if (ce::posix::registryUpdate(applyEdit, &run))
        return kExitOk;
    if (ran && !refusal.empty())
        return fail(refusal);
    return registryFailure(true);
}

}  // namespace cedevice
