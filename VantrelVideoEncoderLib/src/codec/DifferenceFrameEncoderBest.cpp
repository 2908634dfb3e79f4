// The best encode's coding of a difference frame. Errors are impacts
// (ImpactDistance): the squared RGB differences the player shows (in the
// truecolor layouts, against the picture the samples stand for). The first
// codes are chosen together for the least impact plus the bytes they take
// with the writer's runs of one code. Every block with an error then has a
// planned next step (a fitted two-colour pattern, a split into quadrants, or
// the raw samples of a 2 x 2 block) valued by the error it removes per byte
// it adds (runs it breaks or joins included), and the best-valued step is
// taken until the record is about as long as the default encode's record of
// the frame (the first codes' runs: DifferenceFrameEncoderRuns.cpp). In code
// 24 the frame is then coded a second time, its lumas moved to make up for
// the colour differences the first record shows.

#include <algorithm>
#include <array>
#include <cassert>
#include <limits>

#include "codec/DifferenceFrameEncoder.h"
#include "codec/FrameRecordFormat.h"
#include "codec/PatternFit.h"
#include "image/ColourReduction.h"

namespace vantrel {

using namespace frame_record;

namespace {

// A step that adds no bytes still counts as half a byte, so that its value
// stays finite and grows with the error it removes.
constexpr double kLeastCost = 0.5;
constexpr int kRawLength = 5;
constexpr int kPatternLength = 4;
// Rounds of further refinement after the first record, and how far below the
// target length a record may stay.
constexpr int kSizeRounds = 12;
constexpr int kSizeSlack = 4;
// The first codes, and the first round of steps, stop this fraction (1 / n)
// short of the budget.
constexpr int kFirstShortfall = 8;
// The movie's best-encode frames may run ahead of the default's bytes by one
// part in this many.
constexpr int kExcessShare = 125;
// A split that pays only further down is valued at its error times this:
// below the value of any step that pays (at least one part of error in the
// largest cost of a step).
constexpr double kLastResortScale = 1e-15;
// Doublings of a byte's value tried for the first codes.
constexpr int kValueRounds = 24;

double valuePerByte(std::int64_t gain, int cost) {
  return static_cast<double>(gain) / std::max(kLeastCost, static_cast<double>(cost));
}

}  // namespace

void DifferenceFrameEncoder::setBestEncode(ImpactDistance* measure) {
  impact = measure;
  const std::size_t blocks =
      measure != nullptr ? static_cast<std::size_t>(width / 8) * (height / 8) : 0;
  firstLooks.resize(blocks);
  patternMemos[0].assign(blocks * 4, {});
  patternMemos[1].assign(blocks, {});
  lookMemos[0].assign(blocks * 16, {});
  lookMemos[1].assign(blocks * 4, {});
  lookMemos[2].assign(blocks, {});
  movedMarks[0].assign(blocks * 16, Moved::None);
  movedMarks[1].assign(blocks * 4, Moved::None);
  movedMarks[2].assign(blocks, Moved::None);
}

std::size_t DifferenceFrameEncoder::positionIndex(int offset, int side) const {
  return static_cast<std::size_t>(offset / width / side) * (width / side) +
         static_cast<std::size_t>(offset % width / side);
}

DifferenceFrameEncoder::FirstLook DifferenceFrameEncoder::searchFirstLook(
    int offset, int level) const {
  FirstLook found;
  found.keep = search.blockError(keepPicture, level, offset);
  found.fill = found.copy = kNoError;
  judgeLook(found, offset, level);
  if (found.keep != 0 || found.keepImpact != 0) {
    const BlockSearch::Fill fill = search.findFillColour(level, offset);
    const BlockSearch::Copy copy = search.findCopy(level, offset);
    found.colour = fill.colour;
    found.fill = fill.error;
    if (copy.displacement >= 0) {
      found.displacement = copy.displacement;
      found.copy = copy.error;
    }
    judgeLook(found, offset, level, false);
  }
  return found;
}

void DifferenceFrameEncoder::lookAgain(FirstLook& look, int offset, int level) const {
  // The copy's displacement is kept: searching again for the moved samples
  // gained 0.003 dB on the benchmark for a twentieth more time (the
  // displacement search is the costliest of the encode).
  look.keep = search.blockError(keepPicture, level, offset);
  if (look.fill != kNoError) {
    const BlockSearch::Fill fill = search.findFillColour(level, offset);
    look.colour = fill.colour;
    look.fill = fill.error;
  }
  if (look.displacement >= 0) {
    look.copy = search.blockError(reference + displacementTable.offset(look.displacement),
                                  level, offset);
  }
}

void DifferenceFrameEncoder::judgeLook(FirstLook& look, int offset, int level,
                                       bool keepToo) const {
  const int side = blockSide(level);
  const std::int32_t* table = impact->tableAt(offset);
  const std::uint8_t* want = frame + offset;
  if (keepToo)
    look.keepImpact = impact->blockError(table, keepPicture + offset, want, side);
  look.fillImpact = look.fill != kNoError
                        ? impact->fillError(table, look.colour, want, side)
                        : kNoError;
  look.copyImpact =
      look.displacement >= 0
          ? impact->blockError(
                table, reference + offset + displacementTable.offset(look.displacement),
                want, side)
          : kNoError;
}

void DifferenceFrameEncoder::chooseFirstCodeByImpact(BlockRecord& record,
                                                     FirstLook* look) const {
  const int offset = record.offset;
  const int level = record.level;
  // The searches of a block depend on the pictures only: each position is
  // searched once a frame, however often it is valued, and judged again only
  // when the leans change.
  FrameMemo<FirstLook>& memo = lookMemos[level][positionIndex(offset, blockSide(level))];
  const Moved moved = movedAt(offset, level);
  if (memo.frame != frameNumber) {
    memo = {frameNumber, leansNumber, searchFirstLook(offset, level)};
  } else if (memo.judged != leansNumber) {
    if (moved == Moved::Samples) lookAgain(memo.value, offset, level);
    if (moved != Moved::None) judgeLook(memo.value, offset, level);
    memo.judged = leansNumber;
  }
  const FirstLook found = memo.value;
  if (look != nullptr) *look = found;
  takeFirstCode(record, found, found.keepImpact, found.fillImpact, found.copyImpact);
}

void DifferenceFrameEncoder::chooseFirstCodeFromLook(BlockRecord& record,
                                                     const FirstLook& look) const {
  // The default encode's choice (its weights, its ties) among the same codes;
  // a block its keep shows exactly keeps.
  const ErrorWeights& weights = kErrorWeights[record.level];
  if (look.keep == 0) {
    takeFirstCode(record, look, 0, kNoError, kNoError);
    return;
  }
  takeFirstCode(record, look, look.keep * weights.keep, look.fill * weights.fill,
                look.displacement >= 0 ? look.copy * weights.copy : kNoError);
}

void DifferenceFrameEncoder::takeFirstCode(BlockRecord& record, const FirstLook& look,
                                           std::int64_t keepScore, std::int64_t fillScore,
                                           std::int64_t copyScore) const {
  // Ties go to keep first, then to copy.
  if (fillScore < keepScore && fillScore < copyScore) {
    setFill(record, look.colour);
    setFirstError(record, look.fillImpact);
  } else if (copyScore < keepScore && copyScore <= fillScore) {
    setOneByteCode(record, look.displacement, look.copyImpact);
  } else {
    setOneByteCode(record, kKeepCode, look.keepImpact);
  }
}

void DifferenceFrameEncoder::setOneByteCode(BlockRecord& record, int code,
                                            std::int64_t error) const {
  record.code = static_cast<std::uint8_t>(code);
  record.codeLength = 1;
  record.operands[0] = 0;
  setFirstError(record, error);
}

void DifferenceFrameEncoder::setFirstError(BlockRecord& record, std::int64_t error) {
  record.error = record.rawError = record.savedError = error;
  record.savedCode = record.code;
  record.savedOperand = record.operands[0];
}

BlockSearch::Pattern DifferenceFrameEncoder::fittedPattern(int offset, int level) const {
  // A block's pattern search depends on the frame's samples only: each is
  // searched once a frame (a split is valued with its quadrants' patterns,
  // which they take again when they are refined themselves). A second coding
  // fits the pattern again where the leans or samples moved; searching again
  // for moved samples gained nothing on the benchmark.
  const int side = blockSide(level);
  FrameMemo<PatternLook>& memo = patternMemos[level - 1][positionIndex(offset, side)];
  const Moved moved = movedAt(offset, level);
  if (memo.frame == frameNumber && (memo.judged == leansNumber || moved == Moved::None)) {
    memo.judged = leansNumber;
    return memo.value.fitted;
  }
  if (memo.frame != frameNumber) {
    memo.frame = frameNumber;
    memo.value.found =
        level == kLevel8x8 ? search.findPattern8(offset) : search.findPattern4(offset);
  }
  memo.judged = leansNumber;
  memo.value.fitted = PatternFit::fit(frame + offset, width, side, memo.value.found,
                                      impact->tableAt(offset), impact->leaningAt(offset));
  return memo.value.fitted;
}

void DifferenceFrameEncoder::valueSplit(const BlockRecord& record, int runs,
                                        bool firstCodesOnly, std::int64_t& gain,
                                        int& cost, double* deferred) const {
  // The quadrants with their first codes, and as they would be with the
  // better of their next steps; the split is worth the better of the two.
  const int level = record.level;
  const int half = blockSide(level) / 2;
  const int offset = record.offset;
  const int childOffsets[4] = {offset, offset + half, offset + (width + 1) * half,
                               offset + width * half};
  // An 8 x 8 split has a code of its own; a quadrant's is a bit of its parent's.
  const int splitLength = level == kLevel8x8 ? 1 : 0;
  std::array<BlockRecord, 4> children;
  std::int64_t firstError = 0;
  int firstLength = splitLength;
  for (int q = 0; q < 4; ++q) {
    chooseFirstCode(children[q], childOffsets[q], level - 1);
    firstError += children[q].rawError;
    firstLength += children[q].codeLength;
  }
  gain = record.rawError - firstError;
  cost = firstLength - record.codeLength + runs;
  if (firstCodesOnly) return;
  if (level - 1 != kLevel2x2) {
    // The quadrants' patterns are searched only when they could make the
    // split worth more; a 2 x 2 quadrant takes its raw samples, which need no
    // search.
    const double most = mostWorth(children, record.rawError, cost);
    if (most <= valuePerByte(gain, cost)) return;
    if (deferred != nullptr && most > 0.0) {
      *deferred = most;
      return;
    }
  }
  std::int64_t refinedError = 0;
  int refinedLength = splitLength;
  for (int q = 0; q < 4; ++q) {
    const BlockRecord& child = children[q];
    if (child.rawError == 0) {
      refinedLength += child.codeLength;
    } else if (level - 1 == kLevel2x2) {
      refinedLength += kRawLength;
    } else {
      const BlockSearch::Pattern pattern = fittedPattern(childOffsets[q], level - 1);
      const bool better = pattern.error < child.rawError;
      refinedError += better ? pattern.error : child.rawError;
      refinedLength += better ? kPatternLength : child.codeLength;
    }
  }
  const std::int64_t refinedGain = record.rawError - refinedError;
  const int refinedCost = refinedLength - record.codeLength + runs;
  if (valuePerByte(refinedGain, refinedCost) > valuePerByte(gain, cost)) {
    gain = refinedGain;
    cost = refinedCost;
  }
}

double DifferenceFrameEncoder::mostWorth(const std::array<BlockRecord, 4>& children,
                                         std::int64_t error, int cost) {
  // Each choice of quadrants taking exact patterns, the others their first
  // codes (none taking them: the split by its first codes).
  double most = -std::numeric_limits<double>::infinity();
  for (int taken = 0; taken < 16; ++taken) {
    std::int64_t left = error;
    int bytes = cost;
    for (int q = 0; q < 4; ++q) {
      const BlockRecord& child = children[q];
      if ((taken >> q & 1) != 0 && child.rawError != 0) {
        bytes += kPatternLength - child.codeLength;
      } else {
        left -= child.rawError;
      }
    }
    most = std::max(most, valuePerByte(left, bytes));
  }
  return most;
}

void DifferenceFrameEncoder::planStep(std::int32_t block, bool value) {
  const BlockRecord& record = pool[block];
  Step& step = steps[block];
  step.kind = Step::Kind::None;
  step.lastResort = false;
  if (record.rawError == 0) return;
  std::int64_t gain = 0;
  int cost = 0;
  if (record.level == kLevel2x2) {
    step.kind = Step::Kind::Raw;
    gain = record.rawError;
    cost = kRawLength - record.codeLength;
  } else if (!value && record.code != kPatternCode) {
    // Neither a pattern nor a split of it removes more than the block's error,
    // and neither costs fewer bytes than a pattern, so this bound holds until
    // the step is valued.
    step.kind = Step::Kind::Unvalued;
    gain = record.rawError;
    cost = kPatternLength - record.codeLength + runPenalty(block, kPatternCode);
  } else {
    if (record.code != kPatternCode) {
      const BlockSearch::Pattern pattern = fittedPattern(record.offset, record.level);
      if (pattern.error < record.rawError) {
        step.kind = Step::Kind::Pattern;
        step.pattern = pattern;
        gain = record.rawError - pattern.error;
        cost = kPatternLength - record.codeLength + runPenalty(block, kPatternCode);
      }
    }
    // A split can be worth more than the pattern even when the pattern
    // removes more error: the step with the more error removed per byte is
    // planned. Against a pattern the split is valued by its quadrants' first
    // codes alone, which have been searched already or are searched once a
    // frame; fitting the quadrants' patterns for every block would cost a
    // fifth more time for little.
    std::int64_t splitGain = 0;
    int splitCost = 0;
    const int runs = runPenalty(block, kFirstSplitCode);
    double deferred = 0.0;
    valueSplit(record, runs, step.kind != Step::Kind::None, splitGain, splitCost,
               deferSplits ? &deferred : nullptr);
    if (deferred > 0.0) {
      // Above what the split could be worth, and above a last resort (at
      // least one part of error in the largest cost of a step).
      step.kind = Step::Kind::Deferred;
      step.runs = runs;
      step.codeLength = record.codeLength;
      step.error = record.rawError;
      stepHeap.emplace_back(deferred, -block);
      std::push_heap(stepHeap.begin(), stepHeap.end());
      return;
    }
    if (step.kind == Step::Kind::None ||
        (splitGain > 0 &&
         valuePerByte(splitGain, splitCost) > valuePerByte(gain, cost))) {
      step.kind = Step::Kind::Split;
      gain = splitGain;
      cost = splitCost;
    }
  }
  queueStep(block, record.rawError, gain, cost);
}

void DifferenceFrameEncoder::queueStep(std::int32_t block, std::int64_t error,
                                       std::int64_t gain, int cost) {
  Step& step = steps[block];
  double worth = valuePerByte(gain, cost);
  if (gain <= 0) {
    // A split whose quadrants are no better a step down can still reach the
    // picture further down (a 2 x 2 block takes its samples). Such splits
    // come after every step that pays, the larger errors first, so that the
    // bytes a frame would otherwise leave unspent go to its worst blocks.
    if (step.kind != Step::Kind::Split) {
      step.kind = Step::Kind::None;
      return;
    }
    worth = static_cast<double>(error) * kLastResortScale;
    step.lastResort = true;
  }
  stepHeap.emplace_back(worth, -block);
  std::push_heap(stepHeap.begin(), stepHeap.end());
}

void DifferenceFrameEncoder::takeStep(std::int32_t block) {
  BlockRecord& record = pool[block];
  const Step step = steps[block];
  steps[block].kind = Step::Kind::None;
  switch (step.kind) {
    case Step::Kind::None:
      return;
    case Step::Kind::Unvalued:
      planStep(block, true);
      return;
    case Step::Kind::Deferred: {
      BlockRecord queued = record;
      queued.codeLength = step.codeLength;
      queued.rawError = step.error;
      std::int64_t gain = 0;
      int cost = 0;
      valueSplit(queued, step.runs, false, gain, cost);
      steps[block].kind = Step::Kind::Split;
      queueStep(block, step.error, gain, cost);
      return;
    }
    case Step::Kind::Raw:
      refineBlock(block);
      return;
    case Step::Kind::Pattern:
      sizeEstimate += kPatternLength - record.codeLength;
      record.code = kPatternCode;
      record.operands = {static_cast<std::uint8_t>(step.pattern.index),
                         static_cast<std::uint8_t>(step.pattern.colour0),
                         static_cast<std::uint8_t>(step.pattern.colour1), 0};
      record.codeLength = kPatternLength;
      record.rawError = step.pattern.error;
      record.error = step.pattern.error;
      planStep(block);
      return;
    case Step::Kind::Split: {
      // A first code that no pattern improves is made a pattern block in
      // name only for the split: the split replaces its code entirely.
      record.code = kPatternCode;
      refineBlock(block);
      const std::int32_t first = pool[block].children;
      if (first == kNoBlock) return;
      for (int q = 0; q < 4; ++q) {
        BlockRecord& child = pool[first + q];
        child.error = child.rawError;  // without the queue's border bonus
        planStep(first + q);
      }
      return;
    }
  }
}

int DifferenceFrameEncoder::encodeBest(std::uint8_t* out, int minSize, int defaultLength,
                                       bool padEven, std::uint8_t* recon,
                                       const std::uint8_t* prevRecon) {
  ++leansNumber;
  const std::int32_t* leans = impact->leaningAt(0).leans;
  // The truecolor layouts show a pixel's colour by its luma and its group's
  // colour differences together. Where the record shows the colour
  // differences off their samples, other lumas show the picture better: the
  // frame is coded again with the lumas moved (and leaning) to make up for
  // the colour differences of the first record. The searches of the first
  // coding serve the second where the samples stayed. Code 25's colour
  // differences step finely near gray, where most pixels are: a second
  // coding gained it 0.02 dB on the benchmark for a tenth more time, so only
  // code 24 has one.
  if (leans == nullptr || impact->depthCode() != kTruecolorDepth)
    return encodeByRate(out, minSize, defaultLength, padEven);
  twoBack.assign(recon, recon + static_cast<std::size_t>(width) * height);
  const std::int64_t balance = byteBalance;
  const std::int64_t bytesSoFar = defaultBytes;
  const double value = byteValue;
  int length = encodeByRate(out, minSize, defaultLength, padEven);
  // The first record as the player shows it; recon is the frame two back
  // again for the second.
  const DecodeStatus status =
      decoder.decodeDifferenceFrame(out, length, recon, prevRecon);
  assert(status == DecodeStatus::Ok);
  (void)status;
  const bool moved = impact->leansUnder(recon, movedFrame, shownLeans);
  std::copy(twoBack.begin(), twoBack.end(), recon);
  if (!moved) return length;
  const std::uint8_t* picture = frame;
  markMoved(picture, leans);
  byteBalance = balance;
  defaultBytes = bytesSoFar;
  byteValue = value;
  frame = movedFrame.data();
  search.changeFrame(frame);
  impact->setLeans(frame, shownLeans.data());
  ++leansNumber;
  codingAgain = true;
  length = encodeByRate(out, minSize, defaultLength, padEven);
  codingAgain = false;
  frame = picture;
  search.changeFrame(frame);
  impact->setLeans(frame, leans);
  return length;
}

void DifferenceFrameEncoder::markMoved(const std::uint8_t* picture,
                                       const std::int32_t* leans) {
  for (std::vector<Moved>& marks : movedMarks)
    std::fill(marks.begin(), marks.end(), Moved::None);
  for (int offset = 0; offset < static_cast<int>(shownLeans.size()); ++offset) {
    const Moved mark = movedFrame[offset] != picture[offset] ? Moved::Samples
                       : shownLeans[offset] != leans[offset] ? Moved::Leans
                                                             : Moved::None;
    if (mark == Moved::None) continue;
    for (int level = kLevel2x2; level <= kLevel8x8; ++level) {
      // An 8 x 8 block is only judged again: looking again at the moved
      // samples there lost pictures (and time) on the benchmark, as the
      // smaller blocks are what takes up the lumas' moves.
      Moved& marked = movedMarks[level][positionIndex(offset, blockSide(level))];
      marked = std::max(marked, level == kLevel8x8 ? std::min(mark, Moved::Leans) : mark);
    }
  }
}

DifferenceFrameEncoder::Moved DifferenceFrameEncoder::movedAt(int offset,
                                                              int level) const {
  return codingAgain ? movedMarks[level][positionIndex(offset, blockSide(level))]
                     : Moved::Samples;
}

int DifferenceFrameEncoder::encodeByRate(std::uint8_t* out, int minSize, int defaultLength,
                                         bool padEven) {
  // The bytes this encode wrote beyond the default's so far come off this
  // frame's target (or are added to it), so that the movie's frame bytes
  // stay within a step of the default encode's.
  const int targetLength = static_cast<int>(std::clamp<std::int64_t>(
      defaultLength - byteBalance, kCodeStreamOffset, defaultLength + defaultLength / 2));
  // First codes chosen by their true errors repeat less than the default
  // encode's; when they outgrow the target by more than the movie's bytes can
  // take up (kExcessShare of the default's bytes so far), the frame starts
  // again from the default's first codes.
  defaultBytes += defaultLength;
  int length = codeByRate(out, minSize, targetLength, padEven, true);
  if (byteBalance + length - defaultLength > defaultBytes / kExcessShare) {
    length = codeByRate(out, minSize, targetLength, padEven, false);
  }
  byteBalance += length - defaultLength;
  return length;
}

int DifferenceFrameEncoder::codeByRate(std::uint8_t* out, int minSize, int targetLength,
                                       bool padEven, bool firstCodesByRate) {
  // A second try takes the default's choice among the first try's searches.
  byRate = firstCodesByRate;
  reuseLooks = !firstCodesByRate;
  chooseFrameFirstCodes();
  reuseLooks = false;
  byRate = true;
  const int firstLimit = targetLength - targetLength / kFirstShortfall;
  if (firstCodesByRate) {
    // A byte is first worth what the last frame's last step bought; while the
    // first codes alone would take more than the first part of the target,
    // bytes are worth more.
    listRunOptions();
    double value = std::max(byteValue, 1.0);
    for (int round = 0; round < kValueRounds &&
                        chooseRuns(value) > firstLimit - kCodeStreamOffset;
         ++round) {
      value *= 2.0;
    }
  }
  if (steps.size() < static_cast<std::size_t>(pool.capacity())) steps.resize(pool.capacity());
  stepHeap.clear();
  const int topLevelBlocks = (width / 8) * (height / 8);
  for (std::int32_t block = 0; block < topLevelBlocks; ++block) planStep(block);

  // As in the default encode, the short colours come from the fills made up
  // to the minimum size; the default queue takes no part here.
  refineByRate(std::min(minSize, firstLimit));
  queue.clear();
  assignShortColours();
  deferSplits = true;
  // The size estimate counts a byte for every code, as if the writer made no
  // runs: the refinement stops short of the budget and goes on in rounds
  // until the written record is long enough.
  refineByRate(firstLimit);
  int length = writeRecord(out, padEven);
  for (int round = 0; round < kSizeRounds && length < targetLength - kSizeSlack; ++round) {
    if (stepHeap.empty()) break;
    refineByRate(static_cast<int>(sizeEstimate) + std::max(1, (targetLength - length) / 2));
    length = writeRecord(out, padEven);
  }
  queue.clear();
  byRate = false;
  deferSplits = false;
  byteValue = lastValue;
  return length;
}

void DifferenceFrameEncoder::refineByRate(int sizeLimit) {
  while (sizeEstimate < sizeLimit && !stepHeap.empty()) {
    std::pop_heap(stepHeap.begin(), stepHeap.end());
    const std::int32_t block = -stepHeap.back().second;
    // What a byte bought: by a step that paid, not by a bound or a last resort.
    if (steps[block].kind != Step::Kind::Unvalued &&
        steps[block].kind != Step::Kind::Deferred && !steps[block].lastResort) {
      lastValue = stepHeap.back().first;
    }
    stepHeap.pop_back();
    takeStep(block);
  }
}

}  // namespace vantrel
