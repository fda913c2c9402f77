#pragma once

#include <exception>
#include <string>

// The class library's exception family. Every error the system raises is an
// Exception carrying a message text; units derive their own classes from it.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}

    const std::string &Message() const { return message_; }
    void SetMessage(std::string message) { message_ = std::move(message); }
    virtual const char *ClassName() const { return "Exception"; }
    const char *what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// Declares a descendant with the class library's constructor and ClassName.
#define ORVEX_EXCEPTION(Name, Base)                                                                          \
    class Name : public Base {                                                                               \
    public:                                                                                                  \
        using Base::Base;                                                                                    \
        const char *ClassName() const override { return #Name; }                                             \
    }

// A silent exception: it unwinds like any other but is never shown to the user.
ORVEX_EXCEPTION(EAbort, Exception);
ORVEX_EXCEPTION(EConvertError, Exception);
ORVEX_EXCEPTION(EMathError, Exception);
ORVEX_EXCEPTION(EInvalidOp, EMathError);
ORVEX_EXCEPTION(EZeroDivide, EMathError);
ORVEX_EXCEPTION(EOverflow, EMathError);
ORVEX_EXCEPTION(EIntError, Exception);
ORVEX_EXCEPTION(EDivByZero, EIntError);
ORVEX_EXCEPTION(ERangeError, EIntError);
ORVEX_EXCEPTION(EIntOverflow, EIntError);
ORVEX_EXCEPTION(EDateTimeError, Exception);
ORVEX_EXCEPTION(EListError, Exception);
ORVEX_EXCEPTION(EStringListError, EListError);
ORVEX_EXCEPTION(EStreamError, Exception);
ORVEX_EXCEPTION(EFileStreamError, EStreamError);
ORVEX_EXCEPTION(EFCreateError, EFileStreamError);
ORVEX_EXCEPTION(EFOpenError, EFileStreamError);
ORVEX_EXCEPTION(EReadError, EStreamError);
ORVEX_EXCEPTION(EWriteError, EStreamError);
ORVEX_EXCEPTION(EOutOfMemory, Exception);
ORVEX_EXCEPTION(EAccessViolation, Exception);
ORVEX_EXCEPTION(EComponentError, Exception);
ORVEX_EXCEPTION(EClassNotFound, Exception);
ORVEX_EXCEPTION(EPropertyError, Exception);
ORVEX_EXCEPTION(EInvalidOperation, Exception);

// File and operating-system errors carry the error code they came from.
class EInOutError : public Exception {
public:
    EInOutError(std::string message, int errorCode = 0) : Exception(std::move(message)), ErrorCode(errorCode) {}
    const char *ClassName() const override { return "EInOutError"; }
    int ErrorCode;
};

// Raises a silent EAbort.
[[noreturn]] void Abort();
