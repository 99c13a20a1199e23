// Whatever a master sends, the simulated instrument's frame decoders and file machinery (both
// fronts: the file functions and the file command registers) answer with data or an exception,
// keep their own length fields consistent and never store more than their limit. Input: one byte
// for framing and packet size, then requests as {function, length, data...}.
#include <cstdint>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "tools/probe-sim/FileCommandRegisters.h"
#include "tools/probe-sim/FileFunctions.h"
#include "tools/probe-sim/Framing.h"
#include "tools/probe-sim/StandardFunctions.h"

namespace
{

constexpr size_t kLimit = 4096;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace probesim;
    if (size == 0)
        return 0;
    const FramingMode mode = data[0] & 1 ? FramingMode::Ascii : FramingMode::Rtu;
    const uint16_t maxPacket = static_cast<uint16_t>(20 + (data[0] >> 1) * 8);
    FileStore store(kLimit);
    store.Put(1, std::vector<uint8_t>(300, 0x5A));
    FileTransfer transfer(store);
    RegisterModel registers;
    FileCommandRegisters::Create(registers);
    FileCommandRegisters fileRegisters(transfer);
    registers.AddWriteHook(kFileCommandRegister, 1,
                           [&](RegisterModel& model, const RegisterWrite& write)
                           { return fileRegisters.OnWrite(model, write); });

    size_t at = 1;
    while (at + 2 <= size)
    {
        Adu request{1, data[at], {}};
        const size_t length = std::min<size_t>(data[at + 1], size - at - 2);
        request.data.assign(data + at + 2, data + at + 2 + length);
        at += 2 + length;

        std::string problem;
        (void)DecodeFrame(FramingMode::Rtu, request.data, problem);
        (void)DecodeFrame(FramingMode::Ascii, request.data, problem);

        Reply reply;
        const std::optional<TransferForm> form = transfer.OpenForm();
        switch (request.function % 4)
        {
        case 0:
            reply = ReadFileBlock(transfer, request, mode, maxPacket);
            break;
        case 1:
            reply = WriteFileBlock(transfer, request, mode, maxPacket);
            break;
        case 2:
            reply = ExtendedFileRequest(transfer, request);
            break;
        default:
            reply = WriteRegisters(registers, request);
            break;
        }
        Check(reply.kind != Reply::Kind::Silent);
        if (reply.kind == Reply::Kind::Data && request.function % 4 == 0)
        {
            // u16 length (short form) or u32 offset and u16 length, the bytes, the end mark.
            const bool extended = form == TransferForm::Extended;
            const size_t header = extended ? 6 : 2;
            Check(reply.data.size() >= header);
            const size_t announced = size_t{reply.data[header - 2]} << 8 | reply.data[header - 1];
            Check(reply.data.size() == header + announced + (extended ? 1 : 0));
            Check(EncodedLength(mode, 2 + reply.data.size()) <= maxPacket);
        }
    }
    (void)transfer.Close();
    for (uint16_t number : store.Numbers())
        Check(store.Get(number)->data.size() <= kLimit);
    return 0;
}
