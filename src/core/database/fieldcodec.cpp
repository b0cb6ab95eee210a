#include "database/fieldcodec.h"

#include "database/signalcodec.h"

uint64_t bigEndianDataMask(int length)
{
    if (length <= 0)
        return 0;
    if (length >= 8)
        return ~uint64_t(0);
    return ~uint64_t(0) << (8 * (8 - length));
}

FieldCodec FieldCodec::resolve(const Signal &sig)
{
    FieldCodec codec;
    codec.factor = sig.factor;
    codec.offset = sig.offset;
    codec.bigEndian = !sig.is_little_endian;
    codec.unsigned64 = !sig.is_signed && sig.size == 64;
    // The byte walk starts at the byte of the most significant bit and stops at the first byte
    // the frame does not carry: when that is the very first one the field reads as 0. So does a
    // field of no bits. The Candb reader refuses fields longer than 64 bits or inconsistent
    // bit positions; they read as 0 here rather than shift out of range.
    const int length = frameByteCount(sig);
    const bool consistent = sig.size > 0 && sig.size <= 64 && sig.msb >= 0 &&
                            (!sig.is_little_endian || sig.msb - sig.size + 1 >= 0);
    if (!consistent || sig.msb / 8 >= length)
        return codec;

    codec.mask = sig.size == 64 ? ~uint64_t(0) : (uint64_t(1) << sig.size) - 1;
    if (sig.is_signed && sig.size < 64)
        codec.signBit = uint64_t(1) << (sig.size - 1);

    if (sig.is_little_endian) {
        // Bits lsb..msb, all inside the bytes the frame carries.
        codec.shiftRight = static_cast<uint8_t>(sig.msb - sig.size + 1);
        return codec;
    }
    // In the big-endian view a big-endian field is one run of bits, from its most significant
    // bit downwards; bytes the frame does not carry are already cleared there.
    const int msbPosition = 8 * (7 - sig.msb / 8) + sig.msb % 8;
    const int lsbPosition = msbPosition - sig.size + 1;
    if (lsbPosition >= 0)
        codec.shiftRight = static_cast<uint8_t>(lsbPosition);
    else
        codec.shiftLeft = static_cast<uint8_t>(-lsbPosition);
    return codec;
}
