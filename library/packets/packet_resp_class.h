#ifndef QUILLON_PACKET_RESP_CLASS_H
#define QUILLON_PACKET_RESP_CLASS_H

#include "packet_class.h"

namespace Quillon {

// A value response: three-letter code, space and a five-character value
// field (9 body bytes). Decoding the field decides Valid.
class QUILLON_EXPORT Packet_Resp_Class : public Packet_Class
{
    Q_OBJECT

public:
    explicit Packet_Resp_Class(QObject* parent = nullptr) : Packet_Class(parent) {}

    static quint8 Packet_Length() { return 9; }

    char* getData() override { return Data; }
    quint8 getLength() override { return Packet_Length(); }
    void check_data(char* buf) override;
    void set_default_data(char*) override {}
    void setResponse_FiltertoDefault() override { Response_Filter = nullptr; }
    virtual bool readValue() = 0;

protected:
    static constexpr int Field_Offset = 4;
    static constexpr int Field_Length = 5;
    // The value field, cut at the first NUL.
    QByteArray field() const;
};

class QUILLON_EXPORT Packet_Resp_Bool : public Packet_Resp_Class
{
    Q_OBJECT
    Q_PROPERTY(bool Value READ Value)

public:
    explicit Packet_Resp_Bool(QObject* parent = nullptr) : Packet_Resp_Class(parent) {}

    bool readValue() override;
    bool Value() const { return value; }

protected:
    bool value = false;
};

class QUILLON_EXPORT Packet_Resp_String : public Packet_Resp_Class
{
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text)

public:
    explicit Packet_Resp_String(QObject* parent = nullptr) : Packet_Resp_Class(parent) {}

    bool readValue() override;
    QString Text() const { return text; }

protected:
    QString text;
};

class QUILLON_EXPORT Packet_Resp_Faults : public Packet_Resp_Class
{
    Q_OBJECT

public:
    explicit Packet_Resp_Faults(QObject* parent = nullptr) : Packet_Resp_Class(parent) {}

    bool readValue() override;

    bool Flags[5] = {false, false, false, false, false};
};

class QUILLON_EXPORT Packet_Resp_UInt16 : public Packet_Resp_Class
{
    Q_OBJECT
    Q_PROPERTY(quint16 Raw_Value READ Raw_Value)

public:
    explicit Packet_Resp_UInt16(QObject* parent = nullptr) : Packet_Resp_Class(parent) {}

    bool readValue() override;
    quint16 Raw_Value() const { return raw_value; }

protected:
    quint16 raw_value = 0;
};

// The challenge of a counter reset; valid below 1000.
class QUILLON_EXPORT Packet_Resp_Reset_Code : public Packet_Resp_UInt16
{
    Q_OBJECT
    Q_PROPERTY(quint16 Reset_Code READ Reset_Code)

public:
    explicit Packet_Resp_Reset_Code(QObject* parent = nullptr) : Packet_Resp_UInt16(parent) {}

    bool readValue() override;
    // The code that answers the challenge.
    virtual quint16 Reset_Code() const { return reset_code; }

protected:
    quint16 reset_code = 0;
};

// Suspension sensor angle in degrees.
class QUILLON_EXPORT Packet_Resp_Suspension_Angle : public Packet_Resp_UInt16
{
    Q_OBJECT
    Q_PROPERTY(double Angle READ Angle)

public:
    explicit Packet_Resp_Suspension_Angle(QObject* parent = nullptr) : Packet_Resp_UInt16(parent) {}

    bool readValue() override;
    double Angle() const { return angle; }

protected:
    double angle = 0.0;
};

// Reservoir pressure in psi.
class QUILLON_EXPORT Packet_Resp_Pressure : public Packet_Resp_UInt16
{
    Q_OBJECT
    Q_PROPERTY(double Pressure READ Pressure)

public:
    explicit Packet_Resp_Pressure(QObject* parent = nullptr) : Packet_Resp_UInt16(parent) {}

    bool readValue() override;
    double Pressure() const { return pressure; }

protected:
    double pressure = 0.0;
};

// Battery (ignition) voltage in volts.
class QUILLON_EXPORT Packet_Resp_Voltage : public Packet_Resp_UInt16
{
    Q_OBJECT
    Q_PROPERTY(double Voltage READ Voltage)

public:
    explicit Packet_Resp_Voltage(QObject* parent = nullptr) : Packet_Resp_UInt16(parent) {}

    bool readValue() override;
    double Voltage() const { return voltage; }

protected:
    double voltage = 0.0;
};

} // namespace Quillon

#endif // QUILLON_PACKET_RESP_CLASS_H
