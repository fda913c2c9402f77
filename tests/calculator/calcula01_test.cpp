#include "calculator/CalculaAcercaDe.h"
#include "calculator/calcula01.h"
#include "calculator/tabuloicon.h"
#include "calculator/zrutinas.h"
#include "controls/base/qxdbedit.h"
#include "platform/rtl/formatsettings.h"
#include "platform/ui/clipbrd.h"
#include "platform/ui/forms.h"
#include "platform/ui/testing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace
{

class Calculator : public ::testing::Test
{
protected:
    void SetUp() override
    {
        form = NewForm<TCalculadora>(Application);
        form->Show();
        ProcessPendingEvents();
    }
    void TearDown() override { delete form; }

    // Presses the calculator's buttons with the mouse: digits, "D" for 00,
    // "," + - x / % =, "<" backspace, "C" clear entry, "A" clear all,
    // "M" M+, "m" M-, "T" TM, "B" BM.
    void Press(const std::string &keys)
    {
        for (char key : keys)
            ClickControl(Key(key));
    }
    // Two clicks on one button, quick enough to make a double click.
    void PressTwiceQuickly(char key) { DoubleClickControl(Key(key)); }
    TSpeedButton *Key(char key) const
    {
        const std::map<char, TSpeedButton * TCalculadora::*> buttons { { '0', &TCalculadora::BCero },
            { '1', &TCalculadora::BUno }, { '2', &TCalculadora::BDos }, { '3', &TCalculadora::BTres },
            { '4', &TCalculadora::BCuatro }, { '5', &TCalculadora::BCinco }, { '6', &TCalculadora::BSeis },
            { '7', &TCalculadora::BSiete }, { '8', &TCalculadora::BOcho }, { '9', &TCalculadora::BNueve },
            { 'D', &TCalculadora::BDobleCero }, { ',', &TCalculadora::BComa }, { '+', &TCalculadora::BSumar },
            { '-', &TCalculadora::BRestar }, { 'x', &TCalculadora::BMultiplicar },
            { '/', &TCalculadora::BDividir }, { '%', &TCalculadora::BPorcentaje },
            { '=', &TCalculadora::BIgual }, { '<', &TCalculadora::BRetroceder },
            { 'C', &TCalculadora::BBorrar }, { 'A', &TCalculadora::BBorrarTodo },
            { 'M', &TCalculadora::BMemMas }, { 'm', &TCalculadora::BMemRestar },
            { 'T', &TCalculadora::BMemTomar }, { 'B', &TCalculadora::BMemBorrar } };
        return form->*buttons.at(key);
    }

    // Types on the keyboard, as the form's window receives it.
    void Type(const std::string &keys)
    {
        for (char key : keys)
            PressKey(form, VirtualKeyOf(key), static_cast<char32_t>(key));
    }
    // Types faster than the calculator works: every key is queued before
    // the first is handled, then the message loop runs until it is idle.
    void TypeAhead(const std::string &keys)
    {
        for (char key : keys)
            PostKey(form, VirtualKeyOf(key), static_cast<char32_t>(key));
        for (size_t i = 0; i <= keys.size(); ++i)
            ProcessPendingEvents();
    }
    static uint16_t VirtualKeyOf(char key)
    {
        switch (key) {
        case '+':
            return VK_ADD;
        case '-':
            return VK_SUBTRACT;
        case '*':
            return VK_MULTIPLY;
        case '/':
            return VK_DIVIDE;
        case ',':
            return VK_OEM_COMMA;
        case '.':
            return VK_OEM_PERIOD;
        case '=':
            return VK_OEM_PLUS;
        case '\r':
            return VK_RETURN;
        case '\b':
            return VK_BACK;
        case 27:
            return VK_ESCAPE;
        default:
            return static_cast<uint16_t>(key);
        }
    }

    std::vector<std::string> Tape() const
    {
        std::vector<std::string> lines;
        for (int i = 0; i < form->LbTira->Items()->Count(); ++i)
            lines.push_back(form->LbTira->Items()->Strings(i));
        return lines;
    }
    std::string Display() const { return form->EVisor->Text(); }
    std::string Memory() const { return form->EMemoria->Text(); }

    TFormatSettingsScope spanish { SpanishFormatSettings() };
    ScriptedMessageBoxes boxes;
    BeepCounter beeps;
    TCalculadora *form = nullptr;
};

using Lines = std::vector<std::string>;

// ---- The form as its resource makes it -----------------------------------------------------

TEST_F(Calculator, StartsCleanWithTwoDecimalsAndRightAlignedDisplays)
{
    EXPECT_EQ(form->Caption(), "ORVEX Tabulo");
    EXPECT_EQ(Application->Title(), "ORVEX Tabulo");
    EXPECT_TRUE(Tape().empty()); // the design-time lines are gone
    EXPECT_EQ(form->rgDecimales->ItemIndex(), 2);
    EXPECT_EQ(Display(), "");
    EXPECT_EQ(Memory(), "");
    for (TqxDBEdit *edit : { form->EVisor, form->EMemoria }) {
        EXPECT_TRUE(edit->WindowExStyle() & WS_EX_RIGHT) << edit->Name();
        EXPECT_TRUE(edit->ReadOnly()) << edit->Name();
        EXPECT_FALSE(edit->TabStop()) << edit->Name();
    }
    EXPECT_EQ(form->EVisor->PopupMenu(), form->pmEdit);
    EXPECT_EQ(form->EMemoria->PopupMenu(), form->pmEditNada);
    EXPECT_EQ(form->pmEditNada->Items()->Count(), 0);
    EXPECT_EQ(form->LbTira->Style(), lbOwnerDrawFixed);
    EXPECT_EQ(form->LbTira->ItemHeight(), 13);
    EXPECT_TRUE(form->KeyPreview());
}

TEST_F(Calculator, EveryButtonHasItsCaptionHintAndHandler)
{
    struct Row {
        TSpeedButton *button;
        const char *caption, *hint, *handler;
    };
    const Row rows[] = {
        { form->BIgual, "=", "Obtener resultado", "BIgualClick" },
        { form->BSumar, "+", "Sumar", "BSumarClick" },
        { form->BRestar, "-", "Restar", "BRestarClick" },
        { form->BMultiplicar, "x", "Multiplicar", "BMultiplicarClick" },
        { form->BDividir, "/", "Dividir", "BDividirClick" },
        { form->BCero, "0", "", "BCeroClick" },
        { form->BNueve, "9", "", "BNueveClick" },
        { form->BDobleCero, "00", "Doble cero", "BDobleCeroClick" },
        { form->BComa, ",", "", "BComaClick" },
        { form->BMemMas, "M+", "Sumar a memoria", "BMemMasClick" },
        { form->BMemRestar, "M-", "Restar de memoria", "BMemRestarClick" },
        { form->BMemTomar, "TM", "Tomar memoria", "BMemTomarClick" },
        { form->BMemBorrar, "BM", "Borrar memoria", "BMemBorrarClick" },
        { form->BPorcentaje, "%", "Aplicar porcentaje", "BPorcentajeClick" },
        { form->BRetroceder, "<-", "Retroceder borrando", "BRetrocederClick" },
        { form->BBorrar, "Borrar", "Borrar cálculo actual", "BBorrarClick" },
        { form->BBorrarTodo, "Borrar todo", "Borrar todo", "BBorrarTodoClick" },
    };
    for (const Row &row : rows) {
        ASSERT_NE(row.button, nullptr) << row.handler;
        EXPECT_EQ(row.button->Caption(), row.caption);
        EXPECT_EQ(row.button->Hint(), row.hint);
        EXPECT_EQ(row.button->OnClick.HandlerName(), row.handler);
        EXPECT_TRUE(row.button->Flat());
    }
    EXPECT_EQ(form->BBorrar->Width(), 60);
    EXPECT_EQ(form->BBorrarTodo->Width(), 112);
    EXPECT_EQ(form->EMemoria->Hint(), "Contenido de la memoria");
    EXPECT_EQ(form->imSalir->Caption(), "Salir");
    EXPECT_EQ(form->imAcercaDe->OnClick.HandlerName(), "imAcercaDeClick");
    EXPECT_EQ(form->imEditPegar->OnClick.HandlerName(), "imEditPegarClick");
    EXPECT_EQ(form->rgDecimales->Caption(), "Decimales");
    EXPECT_EQ(form->rgDecimales->Columns(), 5);
}

// ---- Arithmetic and tape ---------------------------------------------------------------------

TEST_F(Calculator, FivePlusThreeWritesFiveLines)
{
    Press("5+3=");
    EXPECT_EQ(Tape(), (Lines { "  5,00", "+ 3,00", "-", "  8,00", "" }));
    EXPECT_EQ(Display(), "8");
    EXPECT_EQ(form->Engine().PendingOperation(), coNone);
}

TEST_F(Calculator, PercentTakesThePercentageOfTheAccumulator)
{
    Press("200%10=");
    EXPECT_EQ(Display(), "20");
    EXPECT_EQ(Tape(), (Lines { "  200,00", "% 10,00", "-", "  20,00", "" }));
}

TEST_F(Calculator, DivisionByZeroShowsTheErrorAndKeepsTheChain)
{
    Press("7/0=");
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_EQ(boxes.Last().Text, "Intento de división por cero.");
    EXPECT_EQ(Tape(), (Lines { "  7,00" }));
    EXPECT_EQ(Display(), "0");
    EXPECT_EQ(form->Engine().Accumulator().Value, 70000);
    Press("C");
    EXPECT_EQ(Display(), "");
    EXPECT_EQ(form->Engine().Operand().Value, 0);
    Press("2=");
    EXPECT_EQ(Display(), "3,5");
}

TEST_F(Calculator, ProductTiesToEvenAtTheFourthDecimal)
{
    form->rgDecimales->SetItemIndex(4);
    Press("0,0001x0,5=");
    EXPECT_EQ(Display(), "0");
    EXPECT_EQ(Tape().back(), "");
    EXPECT_EQ(Tape()[3], "  0,0000");
}

TEST_F(Calculator, QuotientRoundsToFourThenHalfAwayToTheDecimals)
{
    Press("2/3=");
    EXPECT_EQ(Display(), "0,67");
    form->rgDecimales->SetItemIndex(4);
    Press("4,5/400=");
    EXPECT_EQ(Display(), "0,0112");
}

TEST_F(Calculator, FewerDecimalsTruncateBothDisplays)
{
    form->rgDecimales->SetItemIndex(4);
    Press("2,9999M");
    EXPECT_EQ(Memory(), "2,9999");
    form->rgDecimales->SetItemIndex(0);
    EXPECT_EQ(Display(), "2");
    EXPECT_EQ(Memory(), "2");
    EXPECT_TRUE(Tape().empty());
}

TEST_F(Calculator, EqualsAfterANumberAlone)
{
    Press("5=");
    EXPECT_EQ(Tape(), (Lines { "  5,00", "-", "  5,00", "" }));
    EXPECT_EQ(Display(), "5");
}

TEST_F(Calculator, OverflowShowsTheErrorAndKeepsTheAccumulator)
{
    form->rgDecimales->SetItemIndex(0);
    Press("2000000000x2000000000=");
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_EQ(boxes.Last().Text, "Invalid floating point operation.");
    EXPECT_EQ(form->Engine().Accumulator().Value, 20000000000000);
    EXPECT_EQ(Tape(), (Lines { "  2.000.000.000" }));
    Press("C400000=");
    EXPECT_EQ(Display(), "800000000000000");
}

// ---- Entry ---------------------------------------------------------------------------------

TEST_F(Calculator, SeparatorAloneBeepsAndAfterZeroIsAccepted)
{
    Press(",");
    EXPECT_EQ(Display(), "");
    EXPECT_EQ(beeps.Count(), 1);
    Press("0,");
    EXPECT_EQ(Display(), "0,");
    EXPECT_EQ(beeps.Count(), 1);
    Press(",");
    EXPECT_EQ(Display(), "0,");
    EXPECT_EQ(beeps.Count(), 2);
}

TEST_F(Calculator, DecimalsBeyondTheChoiceBeepOnce)
{
    Press("1,234");
    EXPECT_EQ(Display(), "1,23");
    EXPECT_EQ(beeps.Count(), 1);
    Press("C1,2D");
    EXPECT_EQ(Display(), "1,200");
    EXPECT_EQ(beeps.Count(), 1);
}

TEST_F(Calculator, ASeventhDecimalBeepsWhereADoubleWouldSeeATie)
{
    // (0,0100005 - 0) x 1.000.000 is 10.000,5 in double precision, a tie
    // that rounds to an even 10.000: two decimals. The value is above the tie.
    Press("0,0100005");
    EXPECT_EQ(beeps.Count(), 1);
    EXPECT_EQ(Display(), "0,010000");
}

TEST_F(Calculator, IntegerPartBeyond32BitsBeeps)
{
    Press("2147483647");
    EXPECT_EQ(beeps.Count(), 0);
    Press("0");
    EXPECT_EQ(Display(), "2147483647");
    EXPECT_EQ(beeps.Count(), 1);
}

TEST_F(Calculator, BackspaceEditsAResultButTheNextDigitStartsAnew)
{
    Press("12+3=");
    EXPECT_EQ(Display(), "15");
    Press("<");
    EXPECT_EQ(Display(), "1");
    EXPECT_TRUE(form->NewEntry());
    Press("<<");
    EXPECT_EQ(Display(), "");
    Press("7");
    EXPECT_EQ(Display(), "7");
}

TEST_F(Calculator, ClearAllEmptiesTapeMemoryAndState)
{
    Press("9M4+");
    Press("A");
    EXPECT_TRUE(Tape().empty());
    EXPECT_EQ(Display(), "");
    EXPECT_EQ(Memory(), "");
    EXPECT_EQ(form->Engine().PendingOperation(), coNone);
    EXPECT_EQ(form->Engine().Accumulator().Value, 0);
}

// ---- Memory --------------------------------------------------------------------------------

TEST_F(Calculator, MemoryKeysAddSubtractRecallAndClear)
{
    Press("T");
    EXPECT_EQ(Display(), "");
    EXPECT_EQ(form->Engine().Operand().Value, 0);
    Press("12,5M");
    EXPECT_EQ(Memory(), "12,5");
    Press("2m");
    EXPECT_EQ(Memory(), "10,5");
    EXPECT_TRUE(Tape().empty()); // memory keys write nothing on the tape
    Press("3x");
    Press("T");
    EXPECT_EQ(Display(), "10,5");
    Press("=");
    EXPECT_EQ(Display(), "31,5");
    Press("B");
    EXPECT_EQ(Memory(), "");
}

TEST_F(Calculator, TwoQuickClicksOnAKeyPressItTwice)
{
    PressTwiceQuickly('1');
    EXPECT_EQ(Display(), "11");
    Press("234");
    PressTwiceQuickly('<');
    EXPECT_EQ(Display(), "112");
    Press("A5");
    PressTwiceQuickly('M');
    EXPECT_EQ(Memory(), "10");
}

// ---- Keyboard, clipboard, closing ---------------------------------------------------------

TEST_F(Calculator, TheKeyboardDrivesTheSameKeys)
{
    Type("12*3\r");
    EXPECT_EQ(Display(), "36");
    Type("/4=");
    EXPECT_EQ(Display(), "9");
    Type("1.5-0,5=");
    EXPECT_EQ(Display(), "1");
    Type("99\b");
    EXPECT_EQ(Display(), "9");
    Type("+1=");
    EXPECT_EQ(Tape().back(), "");
    EXPECT_EQ(Tape()[Tape().size() - 2], "  10,00");
}

TEST_F(Calculator, KeysTypedAheadWaitForTheOperationBeforeThem)
{
    TypeAhead("5+3=");
    EXPECT_EQ(Display(), "8");
    EXPECT_EQ(Tape(), (Lines { "  5,00", "+ 3,00", "-", "  8,00", "" }));

    std::string twenty;
    for (int i = 0; i < 20; ++i)
        twenty += "1+";
    TypeAhead(twenty);
    EXPECT_EQ(Display(), "20");
    EXPECT_EQ(Tape().size(), 5u + 20u);
    EXPECT_EQ(Tape().back(), "+ 1,00");
}

TEST_F(Calculator, CopyPutsTheDisplayOnTheClipboard)
{
    Press("3,25");
    form->imCopiar->Click();
    EXPECT_EQ(Clipboard()->AsText(), "3,25");
    EXPECT_EQ(Display(), "3,25");
    EXPECT_EQ(form->EVisor->SelLength(), 0);
}

TEST_F(Calculator, PasteTakesAValidNumberAndRefusesOtherText)
{
    Clipboard()->SetAsText("12,5");
    form->imPegar->Click();
    EXPECT_EQ(Display(), "12,5");
    EXPECT_EQ(boxes.Count(), 0);
    EXPECT_TRUE(form->EVisor->ReadOnly());
    Press("+1=");
    EXPECT_EQ(Display(), "13,5");

    Clipboard()->SetAsText("abc");
    form->imEditPegar->Click();
    EXPECT_EQ(beeps.Count(), 1);
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_EQ(boxes.Last().Text, "Valor pegado inválido.");
    EXPECT_EQ(boxes.Last().Caption, "Error");
    EXPECT_EQ(Display(), "");

    Clipboard()->SetAsText("1,234");
    form->imPegar->Click();
    EXPECT_EQ(boxes.Count(), 2);
    EXPECT_EQ(Display(), "");
}

TEST_F(Calculator, PasteLeavesTheNewEntryFlagAsItWas)
{
    // Over a shown result the next digit still starts a new entry ...
    Press("12+3=");
    Clipboard()->SetAsText("7");
    form->imPegar->Click();
    EXPECT_EQ(Display(), "7");
    Press("8");
    EXPECT_EQ(Display(), "8");
    // ... and within an entry it goes on after the pasted text.
    Press("A");
    Clipboard()->SetAsText("7");
    form->imEditPegar->Click();
    Press("8");
    EXPECT_EQ(Display(), "78");
    // A refused paste changes the flag no more than a good one.
    Press("2=");
    Clipboard()->SetAsText("x");
    form->imPegar->Click();
    Press("5");
    EXPECT_EQ(Display(), "5");
}

TEST_F(Calculator, ClosingAsksForConfirmation)
{
    boxes.Answer(IDNO);
    Type("\x1b");
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_EQ(boxes.Last().Text, "Cierre de la calculadora\n\n Confirma ?");
    EXPECT_EQ(boxes.Last().Caption, "Pregunta");
    EXPECT_EQ(boxes.Last().Flags, MB_ICONQUESTION | MB_YESNO);
    EXPECT_EQ(boxes.Last().Language, LANG_SPANISH);
    EXPECT_TRUE(form->Visible());
    boxes.Answer(IDYES);
    form->imSalir->Click();
    ProcessPendingEvents();
    EXPECT_EQ(boxes.Count(), 2);
    EXPECT_FALSE(form->Visible());
}

TEST_F(Calculator, AChangedDisplayGivesUpTheFocus)
{
    form->SetActiveControl(form->rgDecimales);
    Press("4");
    EXPECT_EQ(form->ActiveControl(), nullptr);
}

// ---- How it looks ------------------------------------------------------------------------

TEST_F(Calculator, TapeNumbersAreRightAlignedWithARuleAcrossTheLine)
{
    Press("1234,5M+6=");
    ProcessPendingEvents();
    const std::string path = ORVEX_BINARY_DIR "/screenshots/calculator.png";
    EXPECT_GT(SaveScreenshot(form, path), 0);

    TListBox *tape = form->LbTira;
    auto inkIn = [&](int index, int from, int to) {
        const TRect r = tape->ItemRect(index);
        int ink = 0;
        for (int x = std::max(r.Left, from); x < std::min(r.Right, to); ++x)
            for (int y = r.Top; y < r.Bottom; ++y)
                ink += (ColorToRGB(PixelOf(tape, x, y)) & 0xFFFFFF) == 0 ? 1 : 0;
        return ink;
    };
    const int width = tape->ClientWidth();
    // Numbers end one pixel from the right edge and leave the left side blank.
    EXPECT_GT(inkIn(0, width - 12, width), 0);
    EXPECT_EQ(inkIn(0, 0, 20), 0);
    // The rule runs across the whole line.
    EXPECT_GT(inkIn(2, 0, 12), 0);
    EXPECT_GT(inkIn(2, width / 2 - 6, width / 2 + 6), 0);
    EXPECT_EQ(inkIn(4, 0, width), 0); // the gap
}

// ---- About box ----------------------------------------------------------------------------

TEST_F(Calculator, AboutBoxShowsTheProgramsIconNameAndVersion)
{
    TIcon icon;
    icon.LoadFromBytes(std::string(TabuloIconBytes()));
    Application->SetIcon(&icon);
    bool seen = false;
    QueueCall([&] {
        TfCalculaAcercaDe *about = nullptr;
        for (int i = 0; i < Screen->FormCount() && !about; ++i)
            about = dynamic_cast<TfCalculaAcercaDe *>(Screen->Forms(i));
        ASSERT_NE(about, nullptr);
        seen = true;
        EXPECT_EQ(about->Caption(), "");
        EXPECT_EQ(about->ProductName->Caption(), "ORVEX Tabulo");
        EXPECT_EQ(about->Version->Caption(), "Versión 2.01");
        EXPECT_EQ(about->OKButton->Caption(), "Aceptar");
        EXPECT_TRUE(about->OKButton->Default());
        EXPECT_FALSE(about->OKButton->Cancel());
        EXPECT_EQ(about->ClientWidth(), 298);
        EXPECT_EQ(about->ClientHeight(), 187);
        ASSERT_NE(about->ProgramIcon->Picture()->Graphic(), nullptr);
        EXPECT_FALSE(about->ProgramIcon->Picture()->Graphic()->Empty());
        EXPECT_EQ(about->ProgramIcon->Picture()->Width(), icon.Width());
        SaveScreenshot(about, ORVEX_BINARY_DIR "/screenshots/calculator-about.png");
        PressKey(about->OKButton, VK_RETURN, U'\r');
    });
    form->imAcercaDe->Click();
    EXPECT_TRUE(seen);
    EXPECT_EQ(Screen->FormCount(), 1);
}

// ---- Under the English profile ----------------------------------------------------------------

class EnglishCalculator : public Calculator
{
protected:
    TFormatSettingsScope english { EnglishFormatSettings() };
};

TEST_F(EnglishCalculator, ThePointIsTheSeparator)
{
    Press("1,5+2=");
    EXPECT_EQ(Display(), "3.5");
    EXPECT_EQ(Tape(), (Lines { "  1.50", "+ 2.00", "-", "  3.50", "" }));
    Type("1234.5*2=");
    EXPECT_EQ(Display(), "2469");
    EXPECT_EQ(Tape()[Tape().size() - 2], "  2,469.00");
    Clipboard()->SetAsText("2,5");
    form->imPegar->Click();
    EXPECT_EQ(boxes.Last().Text, "Valor pegado inválido.");
}

} // namespace
