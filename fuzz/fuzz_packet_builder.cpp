// Arbitrary byte streams through the frame receiver, cut into reads of
// arbitrary sizes, with reads that come back empty (a pause on the line) in
// between. The first input byte sets the checksum test and how the stream is
// cut, so that mutations change both; the rest is the stream.

#include "packets/packet_resp_system.h"
#include "serial/packet_builder_class.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

using Quillon::Packet_Builder_Class;

namespace {

// xorshift32: cheap, and the same cut for the same input.
class Read_Sizes
{
public:
    explicit Read_Sizes(uint8_t seed) : state(0x9E3779B9u ^ (uint32_t(seed) << 8)) {}
    uint32_t next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }

private:
    uint32_t state;
};

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

void check_receiver(const Packet_Builder_Class& builder)
{
    check(builder.Noise->Fill_Count < builder.Noise->Row_Length);
    check(builder.Received_Count >= 0);
    if (builder.Receiver_State == Packet_Builder_Class::Frame_Complete)
        return;
    // The next read must fit the area it goes to: the body or the trailer.
    const bool trailer = builder.Receiver_State == Packet_Builder_Class::Read_Text_End ||
                         builder.Receiver_State == Packet_Builder_Class::Read_Trailer;
    const int room =
        trailer ? int(sizeof builder.Trailer_Buffer) : Packet_Builder_Class::Frame_Buffer_Size;
    check(builder.Bytes_requested >= 1 && builder.Received_Count + builder.Bytes_requested <= room);
}

void check_packet(const Quillon::Packet_Shared_Ptr& packet)
{
    check(!packet.isNull());
    const int type = packet->ID();
    if (type == Quillon::Packet_Resp_System::packet_type) {
        // The text is cut at a NUL received inside it.
        const char* text = packet->getData();
        const size_t length = packet->getLength();
        check(length >= 1 && length <= 19 && std::strlen(text) == length && text[0] == '<');
    } else {
        check(type >= 35 && type <= 70 && packet->getLength() == 9);
    }
}

// One receiver for all inputs, brought back to its state after construction,
// so that every input runs the same way on its own.
Packet_Builder_Class& fresh_receiver()
{
    static Packet_Builder_Class builder;
    builder.ClearState();
    builder.Frame_Length = 0;
    builder.Packet_Type = 0;
    std::memset(builder.Frame_Buffer, 0, Packet_Builder_Class::Frame_Buffer_Size);
    std::memset(builder.Trailer_Buffer, 0, sizeof builder.Trailer_Buffer);
    Quillon::Rx_Noise_Class& noise = *builder.Noise;
    std::memset(noise.Row_Base, 0, 2 * size_t(noise.Row_Length));
    noise.Fill_Row = noise.Row_Base;
    noise.Last_Row = nullptr;
    noise.Fill_Count = 0;
    return builder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    Packet_Builder_Class& builder = fresh_receiver();
    builder.setIgnore_CRC(data[0] & 1);
    Read_Sizes sizes(data[0]);

    size_t at = 1;
    while (at < size) {
        const uint32_t r = sizes.next();
        if ((r & 15) == 0) {
            builder.reject();
            check(builder.Receiver_State == Packet_Builder_Class::Wait_Start);
        } else {
            const size_t wanted = size_t(builder.Bytes_requested);
            const size_t n = std::min(1 + (r >> 4) % wanted, size - at);
            std::memcpy(builder.Buffer(), data + at, n);
            at += n;
            const int result = builder.BuildPacket(static_cast<unsigned char>(n));
            if (result == 1)
                check_packet(builder.accept());
            else if (result == 2)
                check(builder.Receiver_State == Packet_Builder_Class::Wait_Start);
            else
                check(result == 0);
        }
        check_receiver(builder);
        if (builder.Noise->last_row() == nullptr && (r & 0x300) == 0) {
            unsigned char count = 0;
            builder.Noise->remaining(count);
        }
    }
    return 0;
}
