#pragma once

#include "platform/classes/typinfo.h"

// The languages of the translator, in alphabetical order; klUser stands for
// the user's default language. A small header of its own, so that units which
// only name a language need not see the translator.
enum TKvraLanguage {
    klChineseSimplified,
    klCzech,
    klDanish,
    klEnglish,
    klFrench,
    klGerman,
    klGreek,
    klHebrew,
    klItalian,
    klJapanese,
    klKorean,
    klPolish,
    klPortugese,
    klRussian,
    klSpanish,
    klUser,
    klVietnamese,
};
extern const TEnumNames KvraLanguageNames; // "klChineseSimplified" ... "klVietnamese"
