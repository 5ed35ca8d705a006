// The parts of the manual page and of the README that the table of checks
// writes: each check's entry in the manual, and the README's tables of the
// errors' messages, of the warnings and of what --fix mends. Each part, a
// region, stands in its document between two lines that name it,
//
//   .\" BEGIN GENERATED NAME ...          <!-- BEGIN GENERATED NAME ... -->
//   .\" END GENERATED NAME                <!-- END GENERATED NAME -->
//
// (roff, markdown), and gen_checks rewrites what stands between them; the
// text around them is written by hand.
#ifndef ISCSI_CONFIG_CHECK_DOC_CHECK_DOCS_H
#define ISCSI_CONFIG_CHECK_DOC_CHECK_DOCS_H

#include <string>
#include <string_view>
#include <vector>

enum class DocSyntax { roff, markdown };

// Writes the text of the region `name` (the lines between its markers) to
// *text; false, with what went wrong in *error, for a name of no region or
// a message whose placeholder has no symbol here.
bool writeRegion(std::string_view name, std::string *text, std::string *error);

// Writes `document`, whose markers are in `syntax`, to *result with the text
// between each pair of markers written afresh and every other line kept as
// it is. False, with what is wrong and on which line in *error, when a
// marker has no partner or names no region of the syntax, or when a region
// of the syntax is missing or stands twice.
bool rewriteRegions(DocSyntax syntax, std::string_view document,
                    std::string *result, std::string *error);

// How text from the table stands in roff. Code (a message, a bad or fixed
// line, a name), inside a quoted macro argument: every hyphen a minus sign,
// quotes and backslashes escaped. Prose (a summary, an explanation): one
// sentence a line, lines of at most 78 characters, the hyphens of names,
// options and directives minus signs and the others hyphens, and each word
// in `italic` (a space-separated list) in italics.
std::string roffCode(std::string_view text);
std::string roffProse(std::string_view text, std::string_view italic = {});

// The alternatives of a message pattern as a reader sees them, each
// placeholder shown as its symbol ("{value}" as N, "{octal}" as 0OOO);
// false, with *error set, for a placeholder that has no symbol.
bool shownMessages(std::string_view pattern, std::vector<std::string> *shown,
                   std::string *error);

#endif
