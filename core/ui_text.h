#pragma once
// The texts the programs show, in the user's language: the message
// catalogues po/*.po, built into a table (message_ids.h names each text).
// English is every catalogue's msgid; Japanese is the default language, the
// one of the C locale, and the one used until a program chooses.
//
// A program chooses its language once at start-up, before it starts other
// threads; texts are then read from any thread. Texts are UTF-8, on Windows
// in the system code page (as every literal of the programs).

#include "message_ids.h"

// The text named id in the chosen language; never null.
const char* uiText(Msg id);

// Chooses the language by its code ("en", "ja"); false, and the choice left
// as it was, for a code without texts or null.
bool chooseTextLanguage(const char* code);
// The chosen language's code.
const char* textLanguage();
// Whether the chosen language is the default one (Japanese).
bool isDefaultTextLanguage();

// The code of the language with texts that a language or locale name asks
// for, by the part before '_', '-', '.' or '@' ("en_GB.UTF-8" and "en-US"
// ask for "en"); null for an empty name or a language without texts.
const char* textLanguageOfName(const char* name);

// The language of the texts for the locale variables of the environment
// (each null or empty when not set):
// - the first entry of languageList (LANGUAGE, colon-separated) that names a
//   language with texts, even in the C locale;
// - else the locale: the first set of lcAll, lcMessages and lang: the default
//   language when none is set and for "C", "POSIX" and "C.<codeset>", the
//   language it names when that has texts, else English.
const char* textLanguageOfLocale(const char* languageList, const char* lcAll, const char* lcMessages,
                                 const char* lang);

// The language the user reads: POSIX: textLanguageOfLocale of LANGUAGE,
// LC_ALL, LC_MESSAGES and LANG. Windows: the user's UI language when it has
// texts, else English.
const char* userTextLanguage();
