#include "databaseinput.h"

CandbFile readDatabaseInput(const QString &path)
{
    return readCandbFile(path);
}
