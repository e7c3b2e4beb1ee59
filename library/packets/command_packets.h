#ifndef QUILLON_COMMAND_PACKETS_H
#define QUILLON_COMMAND_PACKETS_H

// The packet classes of the catalogue that add properties or decoders of
// their own. All other leaf classes are expanded from the catalogue table.

#include "packet_get_class.h"
#include "packet_resp_class.h"
#include "packet_set_class.h"

namespace Quillon {

// Bypass-disable setting. The line carries the bypass-disable digit; Value
// is the controller mode, so it is true when the line carries "0".
class QUILLON_EXPORT Packet_Resp_BPD : public Packet_Resp_Bool
{
    Q_OBJECT

public:
    static const int packet_type = 39;

    explicit Packet_Resp_BPD(QObject* parent = nullptr) : Packet_Resp_Bool(parent) {}
    int ID() override { return packet_type; }
    bool readValue() override;
};

// Exhaust output drive, as a duty cycle of 0 to 1.
class QUILLON_EXPORT Packet_Resp_CES : public Packet_Resp_UInt16
{
    Q_OBJECT
    Q_PROPERTY(double Duty_cycle READ Duty_cycle)

public:
    static const int packet_type = 40;

    explicit Packet_Resp_CES(QObject* parent = nullptr) : Packet_Resp_UInt16(parent) {}
    int ID() override { return packet_type; }
    bool readValue() override;
    double Duty_cycle() const { return duty_cycle; }

private:
    double duty_cycle = 0.0;
};

// Operating mode of the controller.
class QUILLON_EXPORT Packet_Resp_MOD : public Packet_Resp_UInt16
{
    Q_OBJECT
    Q_PROPERTY(system_mode_enum Mode READ Mode)
    Q_PROPERTY(QString Mode_name READ Mode_name)

public:
    enum system_mode_enum : quint16
    {
        Mode_Idle = 0,
        Mode_Lowering = 1,
        Mode_Raising = 2,
        Mode_Compressor_Test = 3
    };
    Q_ENUM(system_mode_enum)

    static const int packet_type = 56;

    explicit Packet_Resp_MOD(QObject* parent = nullptr) : Packet_Resp_UInt16(parent) {}
    int ID() override { return packet_type; }
    bool readValue() override;
    system_mode_enum Mode() const { return system_mode_enum(raw_value); }
    QString Mode_name() const;
};

// Compressor temperature, converted from the sensor reading by a table.
class QUILLON_EXPORT Packet_Resp_OAT : public Packet_Resp_UInt16
{
    Q_OBJECT
    Q_PROPERTY(double Temp_C READ Temp_C)
    Q_PROPERTY(double Temp_F READ Temp_F)

public:
    static const int packet_type = 57;

    explicit Packet_Resp_OAT(QObject* parent = nullptr) : Packet_Resp_UInt16(parent) {}
    int ID() override { return packet_type; }
    bool readValue() override;
    double Temp_C() const { return temp_c; }
    double Temp_F() const { return temp_f; }

private:
    double temp_c = 0.0;
    double temp_f = 0.0;
};

// The fault groups. Each exposes the flags of body bytes 8, 7, 6 and 5 in
// that order; body byte 4 is decoded but carries no fault.
class QUILLON_EXPORT Packet_Resp_FM1 : public Packet_Resp_Faults
{
    Q_OBJECT
    Q_PROPERTY(bool Fault_DriverSensor READ Fault_DriverSensor)
    Q_PROPERTY(bool Fault_CurbSensor READ Fault_CurbSensor)
    Q_PROPERTY(bool Fault_PressureSensor READ Fault_PressureSensor)
    Q_PROPERTY(bool Fault_CompCooloff READ Fault_CompCooloff)

public:
    static const int packet_type = 48;

    explicit Packet_Resp_FM1(QObject* parent = nullptr) : Packet_Resp_Faults(parent) {}
    int ID() override { return packet_type; }
    bool Fault_DriverSensor() const { return Flags[4]; }
    bool Fault_CurbSensor() const { return Flags[3]; }
    bool Fault_PressureSensor() const { return Flags[2]; }
    bool Fault_CompCooloff() const { return Flags[1]; }
};

class QUILLON_EXPORT Packet_Resp_FM2 : public Packet_Resp_Faults
{
    Q_OBJECT
    Q_PROPERTY(bool Fault_CompressorTimeout READ Fault_CompressorTimeout)
    Q_PROPERTY(bool Fault_AirLeak READ Fault_AirLeak)
    Q_PROPERTY(bool Fault_OverPressure READ Fault_OverPressure)
    Q_PROPERTY(bool Fault_DriverSolTimeout READ Fault_DriverSolTimeout)

public:
    static const int packet_type = 49;

    explicit Packet_Resp_FM2(QObject* parent = nullptr) : Packet_Resp_Faults(parent) {}
    int ID() override { return packet_type; }
    bool Fault_CompressorTimeout() const { return Flags[4]; }
    bool Fault_AirLeak() const { return Flags[3]; }
    bool Fault_OverPressure() const { return Flags[2]; }
    bool Fault_DriverSolTimeout() const { return Flags[1]; }
};

class QUILLON_EXPORT Packet_Resp_FM3 : public Packet_Resp_Faults
{
    Q_OBJECT
    Q_PROPERTY(bool Fault_CurbSolTimeout READ Fault_CurbSolTimeout)
    Q_PROPERTY(bool Fault_OverTemp READ Fault_OverTemp)
    Q_PROPERTY(bool Fault_ExhaustSolTimeout READ Fault_ExhaustSolTimeout)
    Q_PROPERTY(bool Fault_ReservoirSolTimeout READ Fault_ReservoirSolTimeout)

public:
    static const int packet_type = 50;

    explicit Packet_Resp_FM3(QObject* parent = nullptr) : Packet_Resp_Faults(parent) {}
    int ID() override { return packet_type; }
    bool Fault_CurbSolTimeout() const { return Flags[4]; }
    bool Fault_OverTemp() const { return Flags[3]; }
    bool Fault_ExhaustSolTimeout() const { return Flags[2]; }
    bool Fault_ReservoirSolTimeout() const { return Flags[1]; }
};

// Writes the bypass-disable digit: the controller mode true is sent as "000".
class QUILLON_EXPORT Packet_Set_BPD : public Packet_Set_Bool_Class
{
    Q_OBJECT

public:
    static const int packet_type = 81;

    explicit Packet_Set_BPD(QObject* parent = nullptr);
    int ID() override { return packet_type; }
    const char* getName() override { return "BPD"; }
    void setResponse_FiltertoDefault() override;
    void setValue(bool v) override { Packet_Set_Bool_Class::setValue(!v); }
};

} // namespace Quillon

#endif // QUILLON_COMMAND_PACKETS_H
