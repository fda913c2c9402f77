#include "platform/db/registration.h"

#include "platform/classes/registration.h"
#include "platform/db/dbtables.h"

void RegisterDbClasses()
{
    RegisterComponentClasses();
    RegisterClasses({ &TDataSet::Class, &TDataSource::Class, &TField::Class, &TStringField::Class, &TNumericField::Class,
        &TIntegerField::Class, &TSmallintField::Class, &TWordField::Class, &TAutoIncField::Class,
        &TFloatField::Class, &TCurrencyField::Class, &TBCDField::Class, &TBooleanField::Class,
        &TDateTimeField::Class, &TDateField::Class, &TTimeField::Class, &TBlobField::Class, &TMemoField::Class,
        &TGraphicField::Class, &TDatabase::Class, &TBDEDataSet::Class, &TDBDataSet::Class, &TTable::Class, &TQuery::Class, &TStoredProc::Class });
}
