#pragma once

#include "platform/db/dbengine.h"

#include <cstdint>
#include <string>
#include <vector>

class TDataSet;
class TBDEDataSet;
class TTable;

// Filter expressions written as text, compiled into the engine's filter
// block (header, node area, literal pool) and installed on a table's cursor.
//
// Grammar (AND and OR have equal precedence and group from the left; the
// right operand of * and / is again a term):
//   L := R { (AND | OR) R }     R := E [ relop E ]
//   E := T { (+ | -) T }        T := P [ (* | /) T ]
//   P := "(" L ")" | operand
// Names run across blanks, so a text constant holding blanks or keywords
// must be written between double quotes. The left operand of every operator
// names a field; the right operand takes its type from that field.

// Parentheses (and products, which group to the right) nest at most this
// deep; a deeper expression is refused as faulty.
constexpr int kFilterMaxNesting = 256;

// Builds the block for an expression over the dataset's fields. False on a
// syntax failure, on an unknown field (after the warning box) and on a block
// too large for the header's 16-bit fields. A constant that does not convert
// raises the conversion error.
bool qxBuildFilterBlock(const std::string &expression, TDataSet *table, std::vector<uint8_t> &block);

// Compiles and installs the filter. On any failure the filter installed
// before stays active with its handle.
bool CompileFilter(const std::string &expression, TTable *table, hDBIFilter &handle, bool force);

// Installs the dataset's record-filter callback (client data: the dataset)
// in place of the old filter, or with no callback only drops the old one.
bool qxSetRecordFilter(TRecordFilterCallback callback, TBDEDataSet *dataset, hDBIFilter &handle);

void qxDropFilter(TBDEDataSet *dataset, hDBIFilter &handle);
