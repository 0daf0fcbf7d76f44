#pragma once

#include <QString>

// A text of the system written as a UTF-8 literal (Russian included), as the code keeps them.
inline QString Utf8Text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}
