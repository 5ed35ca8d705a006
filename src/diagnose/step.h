// The parts of the diagnostic step that turn a line's verdict into what a
// format shows: the message, the excerpt and the column in characters. Only
// the diagnostic step includes it.
#ifndef ISCSI_CONFIG_CHECK_DIAGNOSE_STEP_H
#define ISCSI_CONFIG_CHECK_DIAGNOSE_STEP_H

#include <cstddef>
#include <string_view>

#include "diagnose/diagnostic.h"
#include "reader/config.h"

// The message of `check` for a diagnostic on the line of `verdict` (and
// `warning`, for a warning's), its pattern filled in into `text`.
std::string_view fillMessage(LineBuffer *text, const CheckInfo *check,
                             const Verdict *verdict, const Warning *warning);

// Where a password may begin on the physical line of `piece`, as far as the
// line has been read: the byte after its first comma, or on a line without
// one, after its first colon; noPosition on a line with neither. Every byte
// from there on is hidden wherever a line is shown.
size_t hidePoint(const SourcePiece &piece);

// Sets the excerpt of `diagnostic` from `piece`, built in `shown`.
void setExcerpt(Diagnostic *diagnostic, const SourcePiece &piece,
                LineBuffer *shown);

// The column of the byte at `pos` of the physical line of `piece`, in
// characters from 1.
size_t characterColumn(const SourcePiece &piece, size_t pos);

#endif
