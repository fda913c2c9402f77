#include "installer/dialogs/dlgcmp_CopyFile.h"

#include "installer/dialogs/ordlg_CopyFile.h"

const TMetaClass TCopyFileDlg::Class { "TCopyFileDlg", &TCustomBaseInstallDlg::Class };

namespace
{
using P = TPublish<TCopyFileDlg>;
using D = TDialogPublish<TCopyFileDlg>;
using I = TInstallPublish<TCopyFileDlg>;
// clang-format off
const TClassRegistrar<TCopyFileDlg> registrar({
    //           name                  names                       getter                            setter                                default
    D::AutoSetFont(),
    D::AutoTranslate(),
    I::Container(),
    D::DialogManager(),
    P::Integer  ("Height",                                         &TCopyFileDlg::Height,             &TCopyFileDlg::SetHeight,             146),
    D::OverrideMainTranslator(),
    P::Enum     ("Position",           KelvaraDialogPositionNames, &TCopyFileDlg::Position,           &TCopyFileDlg::SetPosition,           kdpBottomCenter),
    P::Integer  ("RelativeLeftOffset",                             &TCopyFileDlg::RelativeLeftOffset, &TCopyFileDlg::SetRelativeLeftOffset, 0),
    P::Integer  ("RelativeTopOffset",                              &TCopyFileDlg::RelativeTopOffset,  &TCopyFileDlg::SetRelativeTopOffset,  30),
    D::ThemeBitmap(),
    D::TranslateIntoLanguage(),
    P::Integer  ("Width",                                          &TCopyFileDlg::Width,              &TCopyFileDlg::SetWidth,              474),
});
// clang-format on
} // namespace

void InitializeCopyFileDialogUnit()
{
    static const bool done = (UnregisterDuringCopyForm(InitializeCopyFileFormUnit()), true);
    (void)done;
}

TCopyFileDlg::TCopyFileDlg(TComponent *owner)
    : TCustomBaseInstallDlg(owner)
{
    SetWidth(474);
    SetHeight(146);
    SetPosition(kdpBottomCenter);
    SetRelativeTopOffset(30);
    JoinDuringCopyRegistry(dmDuringCopyFiles);
}

const TMetaClass &TCopyFileDlg::FormClass() const
{
    return TCopyFileForm::Class;
}
