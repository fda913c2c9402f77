#pragma once

#include <cstdint>
#include <string>

#include "platform/rtl/events.h"

class TComponent;
class TDataSet;
class TField;
class TObject;
class TStrings;
class TMetaClass;

// The library's text lists and its properties read and written by name.
// Other components take part in everything here by publishing a property of
// the same name, whatever their class. Nothing here touches a database.
//
// Lists (items separated by TAB or ';'; item numbers count from 1):
//   field layout   FieldName TAB DisplayWidth TAB DisplayLabel
//   LookupFields   FieldName;DatabaseName;TableName;ResultField;IndexName[;IndexField...;Flag]
//   LookupLinks    SourceField1;LookupField1;SourceField2;LookupField2...
//   ControlType    FieldName;ControlType;Parameters
//   PictureMasks   FieldName TAB Mask TAB AutoFill TAB Use ("T" or "F")

// Properties by name: null, empty or 0 when the class does not publish them.
using TqxInvalidValueEvent = TEvent<TDataSet *, TField *>;
TqxInvalidValueEvent qxGetInvalidValueEvent(const TObject *dataset);
TStrings *qxGetPictureMasksList(const TObject *component);
TStrings *qxGetControlTypeList(const TObject *component);
TStrings *qxGetLookupFieldsList(const TObject *component);
TStrings *qxGetLookupLinksList(const TObject *component);
int64_t qxGetValidateWithMask(const TObject *component);
std::string qxGetDatabaseName(const TObject *component);
TObject *qxGetDataSourceProp(const TObject *component);
TObject *qxGetMasterSourceProp(const TObject *component);
// Only for windowed controls.
std::string qxGetDataFieldProp(const TObject *control);
bool qxSetDataSourceProp(TObject *control, TObject *source);
bool qxSetDataFieldProp(TObject *control, const std::string &field);
// OnFilterOptions as its bits: 1 enabled, 2 hour-glass, 4 cancel on Escape.
uint8_t qxGetFilterOptions(const TObject *dataset);
void qxSetFilterEnabled(TObject *dataset, bool enabled);

// Class tests by name.
bool qxInheritsFromName(const TMetaClass *cls, const std::string &name); // case-insensitive
// TqxTable, TqxQuery, TqxQBE, TqxStoredProc, TqxClientDataSet or a class that
// publishes ControlType.
bool qxIsLibraryDataSet(const TObject *dataset);

// Keyed lines: the first whose first TAB item equals the key, ignoring case.
bool qxFindKeyedLine(const TStrings *list, const std::string &key, int &index);

// Control types: the last ControlType line of the field (first ';' item equal
// to the field name exactly) gives the type and the rest of the line, at any
// length.
void qxFindControlTypeEntry(
    const TObject *component, const std::string &fieldName, std::string &controlType, std::string &parameters);
bool qxIsEditControlType(const std::string &type); // CustomEdit, LookupCombo, Combo

// Picture masks. A source of validity pictures (the library's tables give
// theirs) may be installed; without one no field has a validity picture.
using TqxValidityPictureSource = bool (*)(const TObject *dataset, const std::string &fieldName, std::string &picture);
void qxSetValidityPictureSource(TqxValidityPictureSource source);
void qxGetPictureMaskEntry(const TObject *dataset, const std::string &fieldName, bool useTablePictures,
    bool &autoFill, bool &use, std::string &mask);
void qxSetPictureMaskEntry(TObject *dataset, const std::string &fieldName, const std::string &mask,
    bool keepMask, bool keepAutoFill, bool keepUse, bool use, bool autoFill);
bool qxTextMatchesPicture(const std::string &mask, const std::string &text);

// Small routines.
std::string qxStringsToPChar(const TStrings *lines, bool blankSeparated); // joined by a blank or CR LF
int qxScaleByPixelsPerInch(int value, int pixelsPerInch);
inline int qxMax(int a, int b) { return a > b ? a : b; }
inline int qxMin(int a, int b) { return a < b ? a : b; }
bool qxIsCharKey(uint16_t virtualKey);
// The items of a line split at a separator ("a;b" gives a, b; "" gives none).
std::string qxItem(const std::string &line, char separator, int number); // 1-based; "" when missing
int qxItemCount(const std::string &line, char separator);
