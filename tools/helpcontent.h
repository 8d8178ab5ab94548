// Help pages: the UTF-8 sources in data/help/<language>/NNN.txt, one file per topic, become the
// archive entries "demohelp/<LANGUAGE>/NNN/PPP" the studio reads.
//
// Source format: a line "== Title" starts a page (the pages of a file are numbered from 000 in
// order); the lines up to the next such line are its text. Lines that follow each other are one
// paragraph; an empty line separates paragraphs. Lines starting with '#' before the first page
// are comments. A page is written in code page 1252 as its title, CR LF, then its paragraphs,
// each ended by CR LF, with an empty line between two.
//
// English is complete; another language may translate any page of any topic, and every page it
// lacks is the English one.
#pragma once

#include "tools/soundcontent.h"

#include <string>
#include <vector>

// The largest page the studio reads (one byte of its 4096-byte area stays for the terminator).
constexpr size_t HELP_PAGE_MAX_BYTES = 4095;

// The archive folder names of the five languages, in language number order.
extern const char *const g_apszHelpLanguageFolders[5];
// Their source folders under data/help.
extern const char *const g_apszHelpSourceFolders[5];

// One topic source into its pages (code page 1252, CR LF). false with err naming the line when
// the text is not UTF-8 in the code page, a page is too large or text stands before the first page.
bool Help_ParseTopic(const std::string &utf8, std::vector<std::string> &pages, std::string &err);

// Every page of every language from SOURCE/help. false with err on a broken source or a
// missing English folder.
bool Content_HelpFiles(const std::string &source, std::vector<CONTENTFILE> &files, std::string &err);
