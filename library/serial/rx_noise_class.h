#ifndef QUILLON_RX_NOISE_CLASS_H
#define QUILLON_RX_NOISE_CLASS_H

#include "quillon_global.h"

#include <QObject>

namespace Quillon {

// Collects bytes that fit no frame into fixed-length rows, two rows filled
// alternately, so that a completed row can be shown while the next one fills.
class QUILLON_EXPORT Rx_Noise_Class : public QObject
{
    Q_OBJECT

public:
    // Takes ownership of a buffer of two rows of row_length bytes each.
    Rx_Noise_Class(char* buffer, unsigned char row_length, QObject* parent = nullptr);
    ~Rx_Noise_Class() override;

    char* Row_Base;
    char* Last_Row = nullptr;
    char* Fill_Row;
    quint16 Fill_Count = 0;
    quint16 Row_Length;

    void add_rejected(const char* bytes, unsigned char count);
    // The last completed row, forgotten once fetched; null if none. It stays
    // valid until the recorder fills that row again.
    char* last_row();
    void toggle_row_ptr();
    // The partly filled row and its fill, or null when it is empty.
    char* remaining(unsigned char& count);

signals:
    // Each run of rejected bytes as it is dropped, before it goes into the
    // rows; valid only during the call (a recorder copies it).
    void Rejected(const char* bytes, int count);

private:
    char* other_row(const char* row) const;
};

} // namespace Quillon

#endif // QUILLON_RX_NOISE_CLASS_H
