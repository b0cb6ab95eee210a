#include "loginput.h"

#include "decoderinputs.h"

#include <QFile>

LogInput prepareLogInput(const QString &path)
{
    LogInput input;
    if (isLogFilePath(path))
        input.readPath = QFile::encodeName(path).toStdString();
    else
        input.problem = kLogNotCorrected;
    return input;
}
