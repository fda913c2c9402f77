#include "calculator/zacerca.h"

#include "platform/classes/typinfo.h"

const TMetaClass TFAcercaDe::Class { "TFAcercaDe", &TForm::Class };

namespace
{
using A = TFAcercaDe;
// clang-format off
const TClassRegistrar<TFAcercaDe> registrar({},
    {{"FormCreate", &A::FormCreate}},
    {{"Panel1", &A::Panel1}, {"ProgramIcon", &A::ProgramIcon}, {"ProductName", &A::ProductName},
     {"Version", &A::Version}, {"Label1", &A::Label1}, {"StaticText1", &A::StaticText1},
     {"StaticText2", &A::StaticText2}, {"OKButton", &A::OKButton}});
// clang-format on
} // namespace

TFAcercaDe::TFAcercaDe(TComponent *owner)
    : TForm(owner)
{
}

void TFAcercaDe::FormCreate(TObject *)
{
    ProgramIcon->Picture()->SetGraphic(Application->Icon());
}
