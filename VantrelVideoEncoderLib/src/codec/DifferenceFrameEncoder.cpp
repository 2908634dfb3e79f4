#include "codec/DifferenceFrameEncoder.h"

#include <algorithm>
#include <cassert>
#include <functional>
#include <vector>

#include "codec/CodecTables.h"
#include "codec/DifferenceRecordWriter.h"
#include "codec/FrameRecordFormat.h"
#include "threads/WorkerPool.h"

namespace vantrel {

using namespace frame_record;

namespace {

// The size estimate starts at 16 for every frame; it counts code bytes as if
// no runs were written.
constexpr int kEstimateStart = 16;

// Fewer blocks than this are not worth a thread of their own.
constexpr int kBlocksPerBand = 64;

}  // namespace

DifferenceFrameEncoder::DifferenceFrameEncoder(const CodecPalette& colours,
                                               const DisplacementTable& displacements,
                                               int frameWidth, int frameHeight)
    : width(frameWidth),
      height(frameHeight),
      displacementTable(displacements),
      search(colours, displacements, frameWidth, frameHeight),
      decoder(frameWidth, frameHeight),
      queue(pool) {
  const int blocks = (frameWidth / 8) * (frameHeight / 8);
  pool.reserveForBlocks(blocks);
  queue.reserve(blocks * 21);
  writeList.reserve(static_cast<std::size_t>(blocks) * 21);
}

void DifferenceFrameEncoder::setFill(BlockRecord& record, int colour) const {
  record.code = shortCodes[colour];
  record.operands[0] = static_cast<std::uint8_t>(colour);
  record.codeLength = record.code == kFillCode ? 2 : 1;
}

void DifferenceFrameEncoder::evaluateBlock(std::int32_t block, int offset, int level) {
  chooseFirstCode(pool[block], offset, level);
  sizeEstimate += pool[block].codeLength;
}

void DifferenceFrameEncoder::chooseFirstCode(BlockRecord& record, int offset, int level,
                                             FirstLook* look) const {
  record.offset = offset;
  record.level = static_cast<std::uint8_t>(level);
  record.children = kNoBlock;
  record.operands = {};
  if (byRate) {
    chooseFirstCodeByImpact(record, look);
    return;
  }
  if (reuseLooks && look != nullptr) {
    chooseFirstCodeFromLook(record, *look);
    return;
  }
  const ErrorWeights& weights = kErrorWeights[level];

  const std::int64_t keepError = search.blockError(keepPicture, level, offset);
  record.code = kKeepCode;
  record.codeLength = 1;
  record.error = 0;
  record.rawError = 0;
  if (keepError != 0) {
    const BlockSearch::Fill fill = search.findFillColour(level, offset);
    const BlockSearch::Copy copy = search.findCopy(level, offset);
    const std::int64_t keepWeighted = keepError * weights.keep;
    const std::int64_t fillWeighted = fill.error * weights.fill;
    const std::int64_t copyWeighted =
        copy.displacement >= 0 ? copy.error * weights.copy : kNoError;
    // Ties go to keep first, then to copy.
    if (keepWeighted <= fillWeighted && keepWeighted <= copyWeighted) {
      record.error = keepWeighted;
      record.rawError = keepError;
    } else if (fillWeighted < copyWeighted) {
      setFill(record, fill.colour);
      record.error = fillWeighted;
      record.rawError = fill.error;
    } else {
      record.code = static_cast<std::uint8_t>(copy.displacement);
      record.error = copyWeighted;
      record.rawError = copy.error;
    }
  }
  record.savedCode = record.code;
  record.savedOperand = record.operands[0];
  record.savedError = record.error;
}

void DifferenceFrameEncoder::chooseFirstCodes(std::int32_t first, std::int32_t end) {
  const int columns = width / 8;
  for (std::int32_t block = first; block < end; ++block) {
    chooseFirstCode(pool[block], (block / columns) * 8 * width + (block % columns) * 8,
                    kLevel8x8, impact != nullptr ? &firstLooks[block] : nullptr);
  }
}

void DifferenceFrameEncoder::refineBlock(std::int32_t block) {
  BlockRecord& record = pool[block];
  sizeEstimate -= record.codeLength;
  if (record.level == kLevel2x2) {
    // The last step: the four samples as they are.
    const std::uint8_t* top = frame + record.offset;
    record.code = kSplitAllCode;
    record.operands = {top[0], top[1], top[width], top[width + 1]};
    record.codeLength = 5;
    record.error = 0;
    record.rawError = 0;
    sizeEstimate += 5;
    return;
  }
  if (record.code == kPatternCode || (record.level == kLevel8x8 && fast)) {
    splitBlock(block);
    return;
  }
  const BlockSearch::Pattern pattern = record.level == kLevel8x8
                                           ? search.findPattern8(record.offset)
                                           : search.findPattern4(record.offset);
  const ErrorWeights& weights = kErrorWeights[record.level];
  record.code = kPatternCode;
  record.operands = {static_cast<std::uint8_t>(pattern.index),
                     static_cast<std::uint8_t>(pattern.colour0),
                     static_cast<std::uint8_t>(pattern.colour1), 0};
  record.codeLength = 4;
  sizeEstimate += 4;
  record.rawError = pattern.error;
  record.error =
      pattern.error * (pattern.colour0 == pattern.colour1 ? weights.patternOneColour
                                                          : weights.patternTwoColours);
  if (record.error != 0) queue.pushBlock(block);
}

void DifferenceFrameEncoder::splitBlock(std::int32_t block) {
  const std::int32_t first = pool.allocate(4);
  if (first == kNoBlock) {
    // Cannot happen for a pool sized for the frame; the block keeps its code.
    sizeEstimate += pool[block].codeLength;
    return;
  }
  const int offset = pool[block].offset;
  const int level = pool[block].level;
  const int half = blockSide(level) / 2;
  const bool edge = pool[block].edge;
  // Top-left, top-right, bottom-right, bottom-left.
  const int childOffsets[4] = {offset, offset + half, offset + (width + 1) * half,
                               offset + width * half};
  for (int q = 0; q < 4; ++q) {
    const std::int32_t child = first + q;
    evaluateBlock(child, childOffsets[q], level - 1);
    pool[child].edge = edge;
    pool[child].parent = block;
    if (pool[child].error != 0) queue.pushBlock(child);
  }
  BlockRecord& record = pool[block];
  if (level == kLevel8x8) {
    record.code = kFirstSplitCode;
    record.codeLength = 1;
    sizeEstimate += 1;
  } else {
    // A split quadrant has no code of its own: its bit in the parent's code says so.
    BlockRecord& parent = pool[record.parent];
    record.codeLength = 0;
    parent.code =
        static_cast<std::uint8_t>(parent.code + (1 << (block - parent.children)));
  }
  record.error = 0;
  record.rawError = 0;
  record.children = first;
}

void DifferenceFrameEncoder::assignShortColours() {
  // Tally fills per colour; the low byte keeps the colour, so equal counts sort
  // by the larger colour first.
  std::array<std::int64_t, 256> tally{};
  for (int c = 0; c < 256; ++c) tally[c] = c;
  for (std::int32_t i = 0; i < pool.size(); ++i) {
    BlockRecord& record = pool[i];
    if (record.code >= kFirstShortFillCode && record.code < kFillCode) {
      record.code = kFillCode;
      record.codeLength = 2;
      sizeEstimate += 1;
    }
    if (record.code == kFillCode) tally[record.operands[0]] += 256;
  }
  std::sort(tally.begin(), tally.end(), std::greater<>());
  shortCodes.fill(kFillCode);
  for (int i = 0; i < kShortColourCount; ++i) {
    shortColours[i] = static_cast<std::uint8_t>(tally[i] & 255);
    shortCodes[shortColours[i]] = static_cast<std::uint8_t>(kFirstShortFillCode + i);
  }
  for (std::int32_t i = 0; i < pool.size(); ++i) {
    BlockRecord& record = pool[i];
    if (record.code == kFillCode && shortCodes[record.operands[0]] != kFillCode) {
      record.code = shortCodes[record.operands[0]];
      record.codeLength = 1;
      sizeEstimate -= 1;
    }
  }
  queue.reorderQueue();
}

void DifferenceFrameEncoder::finaliseBlock(std::int32_t block) {
  BlockRecord& record = pool[block];
  if (record.code == kPatternCode && record.children == kNoBlock) {
    if (record.savedError < record.error) {
      // The pattern came out worse than the first code: go back to it.
      record.code = record.savedCode;
      record.operands[0] = record.savedOperand;
      record.codeLength = record.savedCode == kFillCode ? 2 : 1;
      record.rawError = record.error / 200;
    } else if (record.operands[1] == record.operands[2]) {
      // Both groups chose one colour: the same picture as a fill, in fewer bytes.
      setFill(record, record.operands[1]);
    }
  }
  if (record.codeLength > 0) writeList.push_back(block);
  totalError += record.rawError;
  if (record.children != kNoBlock) {
    const std::int32_t first = record.children;
    for (int q = 0; q < 4; ++q) finaliseBlock(first + q);
  }
}

int DifferenceFrameEncoder::writeKeepFrame(std::uint8_t* codes) {
  writeList.clear();
  totalError = 0;
  const int topLevelBlocks = (width / 8) * (height / 8);
  for (std::int32_t block = 0; block < topLevelBlocks; ++block) {
    BlockRecord& record = pool[block];
    record.code = kKeepCode;
    record.codeLength = 1;
    record.children = kNoBlock;
    totalError += search.blockError(keepPicture, kLevel8x8, record.offset);
    writeList.push_back(block);
  }
  return DifferenceRecordWriter::writeCodes(
      codes, kRecordBufferSize - kCodeStreamOffset - 1, writeList, pool);
}

void DifferenceFrameEncoder::refineWorstFirst(int minSize) {
  queue.reorderQueue();
  // Refine up to the minimum size first; the short colours are then chosen from
  // the fills made so far, and the rest of the budget is spent with them in place.
  while (sizeEstimate < budget && !queue.empty() && sizeEstimate < minSize) {
    refineBlock(queue.popWorstBlock());
  }
  assignShortColours();
  while (sizeEstimate < budget && !queue.empty()) refineBlock(queue.popWorstBlock());
}

std::int64_t DifferenceFrameEncoder::chooseFrameFirstCodes() {
  sizeEstimate = kEstimateStart;
  shortCodes.fill(kFillCode);
  shortColours = {};
  queue.clear();
  pool.reset();

  // The first codes of the 8 x 8 blocks depend on nothing but the pictures,
  // so bands of blocks can be chosen on other threads; what follows takes
  // them in raster order as before.
  // Bands are whole rows of blocks, as the copy search requires.
  const int columns = width / 8;
  const int rows = height / 8;
  const int topLevelBlocks = columns * rows;
  pool.allocate(topLevelBlocks);
  const int threads = workers == nullptr ? 1 : workers->threadCount();
  const int bands =
      std::min({threads, rows, std::max(1, topLevelBlocks / kBlocksPerBand)});
  if (bands == 1) {
    chooseFirstCodes(0, topLevelBlocks);
  } else {
    workers->run(bands, [this, rows, columns, bands](int band) {
      chooseFirstCodes(rows * band / bands * columns,
                       rows * (band + 1) / bands * columns);
    });
  }

  std::int64_t frameSum = 0;
  for (std::int32_t block = 0; block < topLevelBlocks; ++block) {
    const int x = (block % columns) * 8;
    const int y = (block / columns) * 8;
    sizeEstimate += pool[block].codeLength;
    pool[block].edge = x == 0 || x >= width - 8 || y == 0 || y >= height - 8;
    if (pool[block].error != 0) {
      queue.append(block);
      frameSum += pool[block].error;
    }
  }
  return frameSum;
}

int DifferenceFrameEncoder::writeRecord(std::uint8_t* out, bool padEven) {
  DifferenceRecordWriter::writeHeader(out, shortColours, padEven);
  writeList.clear();
  totalError = 0;
  const int topLevelBlocks = (width / 8) * (height / 8);
  for (std::int32_t block = 0; block < topLevelBlocks; ++block) finaliseBlock(block);
  // One byte stays free for the padding byte.
  const int codes = DifferenceRecordWriter::writeCodes(
      out + kCodeStreamOffset, kRecordBufferSize - kCodeStreamOffset - 1, writeList,
      pool);
  int length = kCodeStreamOffset;
  if (codes >= 0) {
    length += codes;
  } else {
    // The budget keeps every record well inside its buffer; should that ever
    // fail, a frame that keeps every block is still a correct record.
    assert(false && "difference record outgrew its buffer");
    length += writeKeepFrame(out + kCodeStreamOffset);
  }
  return length;
}

DifferenceFrameEncoder::Result DifferenceFrameEncoder::encode(
    std::uint8_t* out, const std::uint8_t* newFrame, std::uint8_t* recon,
    const std::uint8_t* prevRecon, bool fastMode, int minSize, int maxSize,
    int targetSize, bool padEven, int frameIndex) {
  frame = newFrame;
  keepPicture = recon;
  reference = prevRecon;
  fast = fastMode;
  search.setPictures(newFrame, prevRecon);
  ++frameNumber;
  const bool best = impact != nullptr;
  int length = 0;
  if (best && nextLength > 0) {
    // The best encode codes the frame in about the bytes the default encode
    // took for it; it needs no budget of its own.
    length = encodeBest(out, minSize, nextLength, padEven, recon, prevRecon);
  } else {
    const std::int64_t frameSum = chooseFrameFirstCodes();
    budget = sizes.budget(frameSum, frameIndex, minSize, maxSize, targetSize);
    refineWorstFirst(minSize);
    length = writeRecord(out, padEven);
    // Without a length given, the best encode takes this frame's default record's.
    if (best) length = encodeBest(out, minSize, length, padEven, recon, prevRecon);
  }

  const DecodeStatus status =
      decoder.decodeDifferenceFrame(out, length, recon, prevRecon);
  assert(status == DecodeStatus::Ok);
  (void)status;
  if (best) {
    // The best encode's block errors are impacts: the quality figure takes
    // the codec's own distance of the whole decoded picture.
    totalError = 0;
    for (int y = 0; y < height; y += 8) {
      for (int x = 0; x < width; x += 8) totalError += search.blockError(recon, kLevel8x8, y * width + x);
    }
  }
  length = DifferenceRecordWriter::finishRecord(out, length, padEven);
  return Result{length, totalError};
}

}  // namespace vantrel
