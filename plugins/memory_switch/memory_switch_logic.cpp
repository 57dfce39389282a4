#include "memory_switch_logic.h"

namespace memory_switch {

using namespace qpu::sdk;

MemorySwitchBlock DefaultBlock()
{
    MemorySwitchBlock block{};
    MakeBlockHeader(&block.header, QPU_BLOCK_MEMORY_SWITCH_ID, QPU_BLOCK_MEMORY_SWITCH_VERSION,
                    sizeof block);
    return block;
}

Switches LoadSwitches(const DataBlocks& blocks)
{
    MemorySwitchBlock block{};
    Switches switches{};
    if (blocks.Read(QPU_BLOCK_MEMORY_SWITCH_ID, &block) != 0)
        return switches;
    for (size_t i = 0; i < switches.size(); ++i)
        switches[i] = static_cast<uint8_t>(block.switches[i] & 0xFF);
    return switches;
}

int32_t StoreSwitches(const DataBlocks& blocks, const Switches& switches, bool readFromPrinter)
{
    MemorySwitchBlock block{};
    const int32_t rc = blocks.Read(QPU_BLOCK_MEMORY_SWITCH_ID, &block);
    if (rc != 0)
        return rc;
    for (size_t i = 0; i < switches.size(); ++i)
        block.switches[i] = switches[i];
    if (readFromPrinter)
        block.readFlag = 1;
    return blocks.Write(QPU_BLOCK_MEMORY_SWITCH_ID, &block);
}

QString BitText(uint8_t bits)
{
    return QString::fromStdString(qpu::settings::SwitchBitText(bits));
}

int32_t ReadFromPrinter(PrinterLink& link, Switches* switches)
{
    return qpu::settings::ReadSwitches(link, switches);
}

int32_t WriteToPrinter(PrinterLink& link, const Switches& before, const Switches& after)
{
    return qpu::settings::WriteSwitches(link, before, after);
}

} // namespace memory_switch
