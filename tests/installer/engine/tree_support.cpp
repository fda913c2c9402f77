#include "tree_support.h"

namespace tree_test
{

const TMetaClass TTreeObject::Class { "TTreeObject", &TInstallObject::Class };
const TMetaClass TTreeGroup::Class { "TTreeGroup", &TTreeObject::Class };
const TMetaClass TTreeFile::Class { "TTreeFile", &TTreeObject::Class };
const TMetaClass TTreeDialog::Class { "TTreeDialog", &TTreeObject::Class };
const TMetaClass TTreeRoot::Class { "TTreeRoot", &TComponent::Class };

namespace
{

// clang-format off
using G = TInstallPublish<TTreeGroup>;
const TClassRegistrar<TTreeGroup> groupRegistrar({
    G::Container(), G::DestDir(), G::DestDirType(), G::Include(), G::InstallTypes(), G::Order(),
    G::OnAfterProcess(), G::OnBeforeProcess(),
});
using F = TInstallPublish<TTreeFile>;
const TClassRegistrar<TTreeFile> fileRegistrar({
    F::Container(), F::DestDir(), F::DestDirType(), F::Include(), F::InstallTypes(), F::Order(),
});
using D = TInstallPublish<TTreeDialog>;
const TClassRegistrar<TTreeDialog> dialogRegistrar({
    D::Container(), D::Order(),
});
const TClassRegistrar<TTreeRoot> rootRegistrar({},
    { {"GroupBeforeProcess", &TTreeRoot::GroupBeforeProcess} });
// clang-format on

// A test program's own classes: its sources are always linked.
const bool registered = (RegisterClasses({ &TTreeGroup::Class, &TTreeFile::Class, &TTreeDialog::Class,
                             &TTreeRoot::Class }),
    true);

} // namespace

std::vector<std::string> &Journal()
{
    static std::vector<std::string> journal;
    return journal;
}

TTreeObject::TTreeObject(TComponent *owner, int registeredType, bool installable)
    : TInstallObject(owner)
    , registeredType_(registeredType)
{
    SetInstallable(installable);
}

void TTreeObject::DoInstallEvent(TObject *, int eventCode, TObject *po)
{
    Journal().push_back(Name() + " " + std::to_string(eventCode));
    LastParameter = po;
    if (auto *message = dynamic_cast<TMessageParameter *>(po))
        LastMessage = message->Text;
    if (WhenHeard)
        WhenHeard(eventCode);
}

void TTreeObject::InstallObjects()
{
    Journal().push_back(Name() + " install");
    TInstallObject::InstallObjects();
}

void TTreeObject::WriteUninstallInfo(const std::string &key)
{
    Journal().push_back(Name() + " uninstall " + key);
}

void TTreeRoot::GroupBeforeProcess(TInstallContainer *container)
{
    Journal().push_back(container->Name() + " before");
}

std::string Children(const TInstallContainer &container)
{
    std::string text;
    for (int i = 0; i < container.ChildCount(); ++i) {
        const TInstallObject *child = container.Child(i);
        text += (i ? " " : "") + child->Name() + ":" + std::to_string(child->Order());
    }
    return text;
}

} // namespace tree_test
