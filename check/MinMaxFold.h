// The per-signal min/max fold over raw sample bytes as they lie in a data
// record: little-endian two's complement, 2 bytes a sample in EDF, 3 in BDF.
// The block scans hand each signal's samples of each record here in place,
// so this is the innermost loop of every pass over the samples.
//
// Two implementations give identical extremes: a portable one and, on x86-64
// processors that have it, one with AVX2 vector instructions. The choice is
// made once, at run time, from what the processor reports, so the program
// needs no special compiler flags and runs on every x86-64 processor.
#pragma once

#include <cstdint>

// Folds Count samples of SampleBytes bytes (2 or 3) starting at Bytes into
// the running extremes Min and Max, which are left unchanged when Count is 0
// or less. Bytes need not be aligned.
void FoldSamples(const uint8_t* Bytes, int64_t Count, int SampleBytes, int32_t& Min, int32_t& Max);

// The same for one signal across Records consecutive records of RecordBytes
// bytes each: Count samples at Bytes, Count more at Bytes + RecordBytes, and
// so on. A pass that reads many records at once folds each signal of the
// whole block in one call, which costs markedly less than a call per record.
void FoldSignalBlock(const uint8_t* Bytes, int64_t Count, int SampleBytes, int64_t Records,
                     int64_t RecordBytes, int32_t& Min, int32_t& Max);

enum class TFoldPath { Portable, Avx2 };

// The implementation FoldSamples uses on this processor.
TFoldPath ActiveFoldPath();
// Whether Path can run on this processor (Portable always can).
bool FoldPathAvailable(TFoldPath Path);
// FoldSignalBlock through the given implementation, so that tests can
// compare them; Path must be available.
void FoldSignalBlockWith(TFoldPath Path, const uint8_t* Bytes, int64_t Count, int SampleBytes,
                         int64_t Records, int64_t RecordBytes, int32_t& Min, int32_t& Max);
