#ifndef QUILLON_RESET_CODE_H
#define QUILLON_RESET_CODE_H

// The reset-code scheme of the maintenance counters. Resetting a counter is a
// challenge and answer: the controller offers a number below 1000 (Get ALG,
// ALO or ALR), and accepts the reset (Set ALx) only with the code derived here.
// The controller and this library must agree on the masks, so they live in
// this one header, which the virtual controller includes as well: plain C++,
// so that the controller needs nothing of Qt.

#include <cstdint>

namespace Quillon {

// One mask per digit position of the derived code, each within four bits.
// A digit ANDed with a mask never grows, so every derived digit stays 0-9.
constexpr std::uint8_t Reset_Mask_Hundreds = 0x0D; // applied to the challenge's units digit
constexpr std::uint8_t Reset_Mask_Tens = 0x0B;     // applied to the challenge's tens digit
constexpr std::uint8_t Reset_Mask_Units = 0x07;    // applied to the challenge's hundreds digit

// The digits of the challenge are reversed and each is masked by its new
// position. The challenge must be below 1000.
constexpr std::uint16_t Reset_Code_For(std::uint16_t challenge)
{
    const std::uint16_t h = challenge / 100 % 10;
    const std::uint16_t t = challenge / 10 % 10;
    const std::uint16_t u = challenge % 10;
    return std::uint16_t((u & Reset_Mask_Hundreds) * 100 + (t & Reset_Mask_Tens) * 10 +
                         (h & Reset_Mask_Units));
}

} // namespace Quillon

#endif // QUILLON_RESET_CODE_H
