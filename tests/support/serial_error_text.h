#ifndef TESTS_SERIAL_ERROR_TEXT_H
#define TESTS_SERIAL_ERROR_TEXT_H

// A hang-up is met by the read that waits for an answer, or by a write that
// comes first; either way the resource reports it in one of these texts.

#include <QRegularExpression>
#include <QString>

inline bool Is_Serial_Error_Text(const QString& text)
{
    static const QRegularExpression expected(
        QStringLiteral("^Error in COM_Resource::(Look_For_Packet\\(\\) reading the COM port|"
                       "Send_Packet\\(\\) COM port .*|Send_SV_Mesg\\(\\) COM port .*)\n"
                       "Extended Message: "));
    return expected.match(text).hasMatch();
}

#endif // TESTS_SERIAL_ERROR_TEXT_H
