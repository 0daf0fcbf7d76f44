#pragma once

#include <QString>

// The fresh VASTREL_HOME folder of the running test case; removed when the case ends.
QString testHome();

// Path of a file inside testHome().
QString testPath(const QString& name);
