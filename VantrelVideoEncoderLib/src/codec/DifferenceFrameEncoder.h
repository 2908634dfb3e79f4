#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

#include "codec/BlockPool.h"
#include "codec/BlockQueue.h"
#include "codec/BlockSearch.h"
#include "codec/CodecPalette.h"
#include "codec/DifferenceFrameDecoder.h"
#include "codec/DisplacementTable.h"
#include "codec/FrameSizeControl.h"
#include "codec/ImpactDistance.h"

namespace vantrel {

class WorkerPool;

// Encodes difference frames. Every 8 x 8 block first gets the cheapest code
// that fits it (keep, fill or copy); the frame's byte budget is then spent on
// the blocks with the largest weighted error, worst first: a block becomes a
// two-colour pattern, then splits into four smaller blocks, down to raw 2 x 2
// samples. The written record is decoded again into the reconstruction, so
// the encoder's picture is exactly the player's. The best encode
// (setBestEncode) spends about the same bytes by rate instead: see
// DifferenceFrameEncoderBest.cpp.
//
// One object serves a whole encode: its size history carries from frame to
// frame. Frame-sized storage is allocated once, in the constructor.
class DifferenceFrameEncoder {
 public:
  struct Result {
    int length = 0;               // record bytes
    std::int64_t totalError = 0;  // sum of the final blocks' raw errors
  };

  // palette and displacements must outlive the encoder; the frame size must be
  // valid for DifferenceFrameDecoder and small enough for the first pass to fit
  // a record (every size the codec accepts is).
  DifferenceFrameEncoder(const CodecPalette& palette,
                         const DisplacementTable& displacements, int frameWidth,
                         int frameHeight);

  // Writes the difference record for frame into out (capacity bytes, at least
  // FrameCodec::kRecordBufferSize) and decodes it from prevRecon into recon.
  // recon holds the frame two back on entry. maxSize must already be resolved
  // (0 replaced by 65520).
  Result encode(std::uint8_t* out, const std::uint8_t* frame, std::uint8_t* recon,
                const std::uint8_t* prevRecon, bool fastMode, int minSize, int maxSize,
                int targetSize, bool padEven, int frameIndex);

  // The threads the first look at the 8 x 8 blocks of a frame is shared with,
  // in bands of block rows; the pool must outlive the encoder's use of it. Null
  // (the default) does it on the calling thread. The records are the same.
  void setWorkers(WorkerPool* threads) { workers = threads; }
  // The best encode, judging pictures by measure (which must outlive the
  // encoder's use of it, and whose leans it replaces while it codes a frame
  // a second time): see FrameCodec::setBestEncode. Null: the default.
  void setBestEncode(ImpactDistance* measure);
  // The best encode's record length for the next frame: what the default
  // encode of the same movie wrote for it (0: what this frame's default
  // codes take).
  void setNextLength(int length) { nextLength = length; }

  const FrameSizeControl& sizeControl() const { return sizes; }
  // Budget chosen for the last frame and its size estimate at the end of
  // refinement (bytes the codes would take without runs, plus 16).
  int lastBudget() const { return budget; }
  std::int64_t lastSizeEstimate() const { return sizeEstimate; }
  // The block records of the last frame, for inspection: the 8 x 8 blocks come
  // first, in raster order, each with its tree of split children.
  const BlockPool& blocks() const { return pool; }

 private:
  void evaluateBlock(std::int32_t block, int offset, int level);
  // evaluateBlock without the size estimate; safe on several threads for
  // different blocks.
  // look (the best encode's 8 x 8 blocks): where the searches are kept, or
  // taken from when reuseLooks is set.
  struct FirstLook;
  void chooseFirstCode(BlockRecord& record, int offset, int level,
                       FirstLook* look = nullptr) const;
  // The first codes of the 8 x 8 blocks first to end - 1.
  void chooseFirstCodes(std::int32_t first, std::int32_t end);
  // Starts a frame: the first codes of every 8 x 8 block, queued when not
  // exact; returns their summed weighted error.
  std::int64_t chooseFrameFirstCodes();
  // Finalises the blocks and writes header and codes; returns the length.
  int writeRecord(std::uint8_t* out, bool padEven);
  // The default refinement: the block with the largest weighted error first.
  void refineWorstFirst(int minSize);
  void refineBlock(std::int32_t block);
  void splitBlock(std::int32_t block);
  void assignShortColours();
  void finaliseBlock(std::int32_t block);
  // Replaces the code stream at codes with one that keeps every block; returns
  // its length.
  int writeKeepFrame(std::uint8_t* codes);
  // Fill code for colour: a short code (length 1) or 254 with the colour.
  void setFill(BlockRecord& record, int colour) const;

  // The best encode's refinement (DifferenceFrameEncoderBest.cpp): instead of
  // the worst block, the block whose next step removes the most error per
  // byte is refined next, until the budget is spent.
  struct Step {
    // Unvalued: a pattern or split of a first code, queued at the most it
    // can be worth and valued when it comes first. Deferred: a split whose
    // quadrants' patterns could make it worth more than their first codes,
    // queued at the most they could, and valued with them when it comes
    // first, as it stood when it was queued (the record written in between
    // can have changed the block's code).
    enum class Kind : std::uint8_t { None, Unvalued, Deferred, Pattern, Split, Raw };
    Kind kind = Kind::None;
    bool lastResort = false;       // a split that pays only further down
    BlockSearch::Pattern pattern;  // the fitted pattern of a Pattern step
    // A Deferred split's runs, and the block's error and code length.
    int runs = 0;
    std::uint8_t codeLength = 0;
    std::int64_t error = 0;
  };
  // The best encode of a frame into out; returns the record's length. In
  // code 24 the frame is coded twice: the second time the lumas move to make
  // up for the colour differences the first record shows, decoded from
  // prevRecon into recon (the frame two back, as it is again on return).
  int encodeBest(std::uint8_t* out, int minSize, int defaultLength, bool padEven,
                 std::uint8_t* recon, const std::uint8_t* prevRecon);
  // Codes the frame again by rate into out, until the record is about
  // targetLength bytes long; returns its length.
  int encodeByRate(std::uint8_t* out, int minSize, int defaultLength, bool padEven);
  // One try at that: the first codes by true error or by the default weights.
  int codeByRate(std::uint8_t* out, int minSize, int targetLength, bool padEven,
                 bool firstCodesByRate);
  // Takes the best-valued steps while the size estimate is below sizeLimit.
  void refineByRate(int sizeLimit);
  // Finds the next step of block and queues it by its error removed per byte.
  void planStep(std::int32_t block, bool value = false);
  // The code bytes the writer's runs add when 8 x 8 block takes newCode.
  int runPenalty(std::int32_t block, int newCode) const;
  // The error a split of block record removes and the bytes it adds (runs
  // more for the runs it breaks or joins), with the quadrants' first codes or,
  // unless firstCodesOnly, their next steps where those are worth more. With
  // deferred given, the quadrants' patterns are not searched: where they
  // could make the split worth more, deferred is set to the most they could
  // (above 0), and the split is valued by the first codes.
  void valueSplit(const BlockRecord& record, int runs, bool firstCodesOnly,
                  std::int64_t& gain, int& cost, double* deferred = nullptr) const;
  // The most error per byte a split could remove were the quadrants'
  // patterns exact: error is the block's, cost the bytes the split with the
  // quadrants' first codes adds.
  static double mostWorth(const std::array<BlockRecord, 4>& children, std::int64_t error,
                          int cost);
  // Queues block's step (steps[block], set) by the error it removes per byte;
  // error: the block's, for a split that pays only further down.
  void queueStep(std::int32_t block, std::int64_t error, std::int64_t gain, int cost);
  void takeStep(std::int32_t block);
  // The searches behind an 8 x 8 block's first code in the best encode, kept
  // so that a second try with the default's choice need not search again.
  // A code the searches did not look at, or found no use for.
  static constexpr std::int64_t kNoError = std::numeric_limits<std::int64_t>::max();
  struct FirstLook {
    std::int64_t keep = 0;  // codec errors of keep, fill and copy
    std::int64_t fill = 0;
    std::int64_t copy = 0;
    std::int64_t keepImpact = 0;
    std::int64_t fillImpact = 0;
    std::int64_t copyImpact = 0;
    int colour = 0;
    int displacement = -1;  // none usable: -1
  };
  // The first code of a block with the smallest impact; the first code the
  // default weights choose from a look, with its impact as the error.
  void chooseFirstCodeByImpact(BlockRecord& record, FirstLook* look) const;
  // The searches behind the first code of the block at offset, with impacts.
  FirstLook searchFirstLook(int offset, int level) const;
  // The codec errors of look's codes for the block at offset after its
  // samples moved, the fill colour searched again.
  void lookAgain(FirstLook& look, int offset, int level) const;
  // The impacts of look's codes for the block at offset, by the leans of now
  // (without keepToo, its keep's impact is already the one of now).
  void judgeLook(FirstLook& look, int offset, int level, bool keepToo = true) const;
  void chooseFirstCodeFromLook(BlockRecord& record, const FirstLook& look) const;
  // Gives record the code of look with the smallest score (ties: keep, then
  // copy), with its impact as the error.
  void takeFirstCode(BlockRecord& record, const FirstLook& look, std::int64_t keepScore,
                     std::int64_t fillScore, std::int64_t copyScore) const;
  // Keep or a copy: one byte, no operand.
  void setOneByteCode(BlockRecord& record, int code, std::int64_t error) const;
  // The error of a block's first code, remembered as its first evaluation.
  static void setFirstError(BlockRecord& record, std::int64_t error);
  // Chooses the 8 x 8 blocks' first codes again, with the runs they make,
  // value being the error a byte is worth; returns the bytes of their codes.
  int chooseRuns(double value);
  // The codes chooseRuns may give each 8 x 8 block, with their impacts.
  void listRunOptions();
  // The pattern of the block search refitted to the smallest impact.
  BlockSearch::Pattern fittedPattern(int offset, int level) const;
  // The raster index of the side x side block at offset among the blocks of
  // its size, for the memos.
  std::size_t positionIndex(int offset, int side) const;

  int width;
  int height;
  WorkerPool* workers = nullptr;
  ImpactDistance* impact = nullptr;  // set for the best encode
  bool byRate = false;      // this pass compares codes by their impacts
  bool reuseLooks = false;  // this pass takes the first looks of the last
  // Splits may be Deferred: the short colours are set, so that the quadrants'
  // first codes come out the same when the split comes first.
  bool deferSplits = false;
  std::vector<FirstLook> firstLooks;  // per 8 x 8 block
  // chooseRuns's options per block (the frame's most chosen copies among
  // them) and its least costs per option and run state.
  static constexpr int kRunCopies = 4;
  static constexpr int kRunOptions = 3 + kRunCopies;
  struct RunOption {
    std::uint8_t code = 0;
    std::uint8_t bytes = 1;  // with its operand
    std::int64_t error = 0;
  };
  std::vector<RunOption> runOptions;
  std::vector<int> runCounts;
  std::vector<double> runCosts;
  std::vector<std::int32_t> runFrom;
  // The error removed per byte by the last step of a frame, and so far in
  // this one: what the next frame's runs weigh a byte at.
  double byteValue = 0.0;
  double lastValue = 0.0;
  // What the best encode found for a block position in frame, judged by the
  // leans numbered judged.
  template <typename T>
  struct FrameMemo {
    std::uint32_t frame = 0;
    std::uint32_t judged = 0;
    T value;
  };
  // A pattern the block search found, and the pattern fitted from it.
  struct PatternLook {
    BlockSearch::Pattern found;
    BlockSearch::Pattern fitted;
  };
  // Patterns of the 4 x 4 and 8 x 8 block positions, and first looks of the
  // 2 x 2, 4 x 4 and 8 x 8 ones.
  mutable std::vector<FrameMemo<PatternLook>> patternMemos[2];
  mutable std::vector<FrameMemo<FirstLook>> lookMemos[3];
  std::uint32_t frameNumber = 0;  // counts frames from 1
  std::uint32_t leansNumber = 0;  // counts the leans codes are judged by
  // The samples and leans of the second coding, and the frame two back for
  // it; per block position of each size (as the memos), what in it differs
  // from the first coding.
  std::vector<std::uint8_t> movedFrame;
  std::vector<std::int32_t> shownLeans;
  enum class Moved : std::uint8_t { None, Leans, Samples };
  std::vector<Moved> movedMarks[3];
  bool codingAgain = false;  // the second coding of a frame is under way
  // Marks what moved between picture and leans and the second coding's.
  void markMoved(const std::uint8_t* picture, const std::int32_t* leans);
  // What moved in the block at offset since the first coding: with nothing,
  // what the first coding found and judged of it holds; with leans, what it
  // found. Outside a second coding, everything counts as moved.
  Moved movedAt(int offset, int level) const;
  std::vector<std::uint8_t> twoBack;
  // Record bytes the best encode wrote beyond the default encode's so far.
  std::int64_t byteBalance = 0;
  std::int64_t defaultBytes = 0;  // the default encode's record bytes so far
  int nextLength = 0;
  const DisplacementTable& displacementTable;
  BlockSearch search;
  DifferenceFrameDecoder decoder;
  FrameSizeControl sizes;
  BlockPool pool;
  BlockQueue queue;

  // Per-frame state.
  const std::uint8_t* frame = nullptr;
  const std::uint8_t* keepPicture = nullptr;  // recon: the frame two back
  const std::uint8_t* reference = nullptr;    // prevRecon: the frame before
  bool fast = false;
  std::int64_t sizeEstimate = 0;
  int budget = 0;
  std::array<std::uint8_t, 256> shortCodes{};
  std::array<std::uint8_t, 8> shortColours{};
  std::vector<std::int32_t> writeList;
  std::vector<Step> steps;  // per block record
  // Planned steps: error removed per byte and the block, a max-heap.
  std::vector<std::pair<double, std::int32_t>> stepHeap;
  std::int64_t totalError = 0;
};

}  // namespace vantrel
