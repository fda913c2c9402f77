#include "testform.h"

#include "platform/classes/filer.h"
#include "platform/classes/typinfo.h"
#include "platform/ui/testing.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{

FormPtr MakeForm()
{
    return FormPtr(NewForm<TTestForm>(nullptr));
}

TEST(Forms, ReadFromTheirResource)
{
    FormPtr form = MakeForm();
    EXPECT_EQ(form->created, 1);
    EXPECT_EQ(form->Name(), "TestForm");
    EXPECT_EQ(form->Caption(), "ORVEX Prueba");
    EXPECT_EQ(form->BorderStyle(), bsSizeToolWin);
    EXPECT_EQ(form->BorderIcons(), (TBorderIcons { biSystemMenu, biMinimize }));
    EXPECT_TRUE(form->KeyPreview());
    EXPECT_EQ(form->Menu(), form->MainMenu1);
    EXPECT_EQ(form->Font()->Name(), "MS Sans Serif");
    EXPECT_EQ(form->Font()->Height(), -11);
    EXPECT_EQ(form->Font()->Size(), 8);

    // Outer size as stored; the client area loses the tool-window frame and the menu.
    EXPECT_EQ(form->Width(), 274);
    EXPECT_EQ(form->Height(), 331);
    EXPECT_EQ(form->ClientWidth(), 274 - 8);
    EXPECT_EQ(form->ClientHeight(), 331 - 8 - kToolCaptionHeight - kMenuHeight);

    ASSERT_NE(form->paTop, nullptr);
    EXPECT_EQ(form->paTop->Parent(), form.get());
    EXPECT_EQ(form->paTop->BevelInner(), bvRaised);
    EXPECT_EQ(form->paTop->BevelOuter(), bvLowered);
    EXPECT_EQ(form->paTop->Color(), clSilver);
    EXPECT_EQ(form->lbTitle->Parent(), form->paTop);
    EXPECT_EQ(form->lbTitle->Caption(), "Título");
    EXPECT_TRUE(form->lbTitle->Font()->Style().Contains(fsBold));
    EXPECT_FALSE(form->lbTitle->ParentFont());
    EXPECT_TRUE(form->eDisplay->ParentFont());
    EXPECT_EQ(form->eDisplay->Font()->Name(), "MS Sans Serif");
    EXPECT_EQ(form->bSumar->Hint(), "Sumar");
    EXPECT_TRUE(form->bSumar->Flat());
    EXPECT_EQ(form->bSumar->OnClick.HandlerName(), "bSumarClick");
    EXPECT_EQ(form->lbTape->Style(), lbOwnerDrawFixed);
    EXPECT_EQ(form->lbTape->ItemHeight(), 13);
    EXPECT_EQ(form->lbTape->Items()->Count(), 3);
    EXPECT_EQ(form->rgDec->Items()->Count(), 5);
    EXPECT_EQ(form->rgDec->ItemIndex(), 2);
    EXPECT_EQ(form->rgDec->Columns(), 5);
    EXPECT_EQ(form->decClicks, 0) << "loading the resource is no click";
    EXPECT_EQ(form->eDisplay->Text(), "12");
    EXPECT_EQ(form->bOk->ModalResult(), mrOk);
    EXPECT_TRUE(form->bOk->Default());
    EXPECT_TRUE(form->bCancel->Cancel());
    ASSERT_EQ(form->MainMenu1->Items()->Count(), 1);
    EXPECT_EQ(form->MainMenu1->Items()->Items(0), form->imArchivo);
    ASSERT_EQ(form->imArchivo->Count(), 1);
    EXPECT_EQ(form->imArchivo->Items(0), form->imSalir);
    EXPECT_EQ(form->imSalir->ShortCut(), ShortCut('X', false, true, false));
    EXPECT_EQ(ShortCutToText(form->imSalir->ShortCut()), "Ctrl+X");
}

TEST(Forms, AlignmentFillsTheClientArea)
{
    FormPtr form = MakeForm();
    // The top panel spans the client width; the bottom radio group sits on the bottom edge.
    EXPECT_EQ(form->paTop->BoundsRect(), Bounds(0, 0, form->ClientWidth(), 41));
    EXPECT_EQ(form->rgDec->Top() + form->rgDec->Height(), form->ClientHeight());
    EXPECT_EQ(form->rgDec->Width(), form->ClientWidth());

    // A resize moves them with the form.
    form->SetBounds(form->Left(), form->Top(), 300, 360);
    EXPECT_EQ(form->paTop->Width(), 292);
    EXPECT_EQ(form->rgDec->Top() + form->rgDec->Height(), form->ClientHeight());

    // A client panel inside bevels keeps off the bevel width on each side.
    auto *inner = new TPanel(form.get());
    inner->SetParent(form->paTop);
    inner->SetAlign(alClient);
    EXPECT_EQ(inner->BoundsRect(), Rect(2, 2, form->paTop->Width() - 2, 39));
}

class TNoResourceForm : public TForm
{
public:
    using TForm::TForm;
    static inline const TMetaClass Class { "TNoResourceForm", &TForm::Class };
    const TMetaClass *ClassType() const override { return &Class; }
};

TEST(Forms, AFormClassWithoutResourceIsRefused)
{
    EXPECT_THROW(NewForm<TNoResourceForm>(nullptr), EResNotFound);
}

TEST(Forms, ShowModalEndsWithTheButtonsModalResult)
{
    FormPtr form = MakeForm();
    TTestForm *f = form.get();
    int modalSeen = 0;
    // The click arrives from inside the modal loop, as a user's would.
    f->OnShow = [&](TObject *) {
        QueueCall([f, &modalSeen] {
            modalSeen = f->IsModal();
            ClickControl(f->bOk);
        });
    };
    EXPECT_EQ(f->ShowModal(), mrOk);
    EXPECT_EQ(modalSeen, 1);
    EXPECT_FALSE(f->Visible());
    EXPECT_FALSE(f->IsModal());
    EXPECT_EQ(f->closeQueries, 1);
}

TEST(Forms, CloseQueryCanRefuseToEndTheModalLoop)
{
    FormPtr form = MakeForm();
    TTestForm *f = form.get();
    f->allowClose = false;
    f->OnShow = [&](TObject *) {
        QueueCall([f] {
            ClickControl(f->bCancel); // refused: the form stays up
            QueueCall([f] {
                EXPECT_TRUE(f->Visible());
                EXPECT_EQ(f->ModalResult(), mrNone);
                f->allowClose = true;
                PressKey(f->eDisplay, VK_ESCAPE, 27); // the cancel button answers Escape
            });
        });
    };
    EXPECT_EQ(f->ShowModal(), mrCancel);
    EXPECT_EQ(f->closeQueries, 2);
}

TEST(Forms, CloseOfAFormThatRefusesStaysVisible)
{
    FormPtr form = MakeForm();
    form->Show();
    form->allowClose = false;
    form->Close();
    EXPECT_TRUE(form->Visible());
    form->allowClose = true;
    form->Close();
    EXPECT_FALSE(form->Visible());
    EXPECT_EQ(form->closeQueries, 2);
}

TEST(Forms, ReleaseFreesTheFormAfterItsHandlerReturns)
{
    TTestForm *form = NewForm<TTestForm>(nullptr);
    bool destroyed = false;
    form->OnDestroy = [&](TObject *) { destroyed = true; };
    form->Show();
    form->bSumar->OnClick = [form](TObject *) { form->Release(); };
    ClickControl(form->bSumar);
    EXPECT_FALSE(destroyed);
    ProcessPendingEvents();
    EXPECT_TRUE(destroyed);
}

} // namespace

namespace
{

TEST(Forms, AFormInsideAnotherControlIsAChildWindow)
{
    FormPtr host = MakeForm();
    host->Show();
    auto *page = new TForm(host.get());
    page->SetBorderStyle(bsNone);
    page->SetParent(host->paTop);
    page->SetAlign(alClient);
    int shown = 0;
    page->OnShow = [&](TObject *) { ++shown; };
    page->Show();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(page->ClientWidth(), host->paTop->Width() - 4);
    EXPECT_EQ(GetParentForm(page), host.get());
    auto *button = new TButton(page);
    button->SetParent(page);
    button->SetModalResult(mrOk);
    ClickControl(button);
    EXPECT_EQ(host->ModalResult(), mrOk) << "a button on an embedded page sets its top form's result";
}

} // namespace
