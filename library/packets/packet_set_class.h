#ifndef QUILLON_PACKET_SET_CLASS_H
#define QUILLON_PACKET_SET_CLASS_H

#include "packet_class.h"

namespace Quillon {

// "set XXX": stores something on the controller; waits 300 ms.
class QUILLON_EXPORT Packet_Set_Short_Class : public Packet_Class
{
    Q_OBJECT

public:
    explicit Packet_Set_Short_Class(QObject* parent = nullptr) : Packet_Class(parent) {}

    static quint8 Packet_Length() { return 7; }

    char* getData() override { return Data; }
    quint8 getLength() override { return Packet_Length(); }
    unsigned int Response_Timeout() override { return 300; }
    void check_data(char*) override {}
    void set_default_data(char* buf) override;
    virtual const char* getName() = 0;
};

// "set XXX NNN": a Set with a three-digit value field, "000" when built.
class QUILLON_EXPORT Packet_Set_Long_Class : public Packet_Class
{
    Q_OBJECT

public:
    explicit Packet_Set_Long_Class(QObject* parent = nullptr) : Packet_Class(parent) {}

    static quint8 Packet_Length() { return 11; }

    char* getData() override { return Data; }
    quint8 getLength() override { return Packet_Length(); }
    unsigned int Response_Timeout() override { return 300; }
    void check_data(char*) override {}
    void set_default_data(char* buf) override;
    virtual const char* getName() = 0;

protected:
    static constexpr int Value_Offset = 8;
};

// A boolean Set: the last digit of the value field is "0" or "1".
class QUILLON_EXPORT Packet_Set_Bool_Class : public Packet_Set_Long_Class
{
    Q_OBJECT
    Q_PROPERTY(bool Value READ Value WRITE setValue)

public:
    explicit Packet_Set_Bool_Class(QObject* parent = nullptr) : Packet_Set_Long_Class(parent) {}

    virtual void setValue(bool v);
    // The digit that is on the line.
    bool Value() const;
};

// A numeric Set: the value field carries 0 to 999 as three digits.
class QUILLON_EXPORT Packet_Set_UInt_Class : public Packet_Set_Long_Class
{
    Q_OBJECT
    Q_PROPERTY(quint16 Value READ Value WRITE setValue)

public:
    explicit Packet_Set_UInt_Class(QObject* parent = nullptr) : Packet_Set_Long_Class(parent) {}

    // Values above 999 leave the body as it is and mark the packet invalid.
    void setValue(unsigned short v);
    quint16 Value() const;
};

} // namespace Quillon

#endif // QUILLON_PACKET_SET_CLASS_H
