#pragma once

#include <qpu/data_block.h>

#include <QtGlobal>

class PluginDataMgr;

// Setting-data access of the setting pages: the 32-byte block header and the page
// operations on a block of the data manager.

// Zeroes the 32 bytes, then writes "PND", the identifier, the version and the size. A null
// header is left alone.
void MakeBlockHeader(DataBlockHeader* header, quint32 id, quint32 version, quint32 sizeBytes);

// Replaces the data of block id by sizeBytes of data (header included); sizeBytes is
// written into the size field of data's own header first. 0; -1 when the store or the
// block is missing; -3 for no data or a size below one header and one byte.
int SetSettingDataById(PluginDataMgr* dataMgr, quint32 id, void* data, qint32 sizeBytes);
// Copies the first min(sizeBytes, block size) bytes of block id into buffer. 0; -1 when
// the store or the block is missing; -3 for no buffer.
int GetSettingDataById(const PluginDataMgr* dataMgr, quint32 id, void* buffer, qint32 sizeBytes);
