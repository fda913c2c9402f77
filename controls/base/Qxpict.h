#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/rtl/object.h"

// What MatchPicture answers. The last two pass only between the matcher's own
// steps; a caller sees them as complete and incomplete.
enum TqxPicResult {
    prComplete = 0, // the text fills the picture
    prIncomplete = 1, // more input is required
    prEmpty = 2, // there is no input
    prError = 3, // the input does not fit
    prSyntax = 4, // the picture itself is broken
    prAmbiguous = 5, // complete, but more input could follow
    prIncompNoFill = 6, // incomplete, and no literal may be filled in
};

// Status
inline constexpr uint16_t qxvsOk = 0;
inline constexpr uint16_t qxvsSyntax = 1; // the picture has a syntax error

// Options
inline constexpr uint16_t qxvoAutoFill = 0x0001;
inline constexpr uint16_t qxvoPicture = 0x0004; // always set

// The matcher for picture masks. Callers create one per check with the
// picture and the auto-fill flag, ask it and free it. Text is UTF-8 and is
// matched character by character (code points), whatever its length.
//
//   #  digit              ?  letter           &  letter, upper-cased
//   ~  letter, lower-cased @  any character    !  any character, upper-cased
//   ;  next picture character is a literal     *n element repeated n times
//   *  element repeated any number of times    [ ] optional part
//   { } group              ,  alternatives     anything else: itself
class TqxPictureValidator : public TObject
{
public:
    TqxPictureValidator(const std::string &picture, bool autoFill);
    ~TqxPictureValidator() override;
    const char *ClassName() const override { return "TqxPictureValidator"; }

    // Checks
    virtual bool CheckInput(std::string &text, bool suppressFill);
    virtual bool CheckValid(const std::string &text);
    virtual TqxPicResult MatchPicture(std::string &text, bool autoFill);

    // State
    uint16_t Status() const;
    uint16_t Options() const;
    const std::string &Picture() const;

private:
    struct Impl;
    std::unique_ptr<Impl> const d;
};
