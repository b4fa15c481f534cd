#include "input/delimited_reader.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/comoment_accumulator.hpp"
#include "input/delimited_field.hpp"
#include "input/delimited_header.hpp"
#include "input/delimited_records.hpp"
#include "matrix/parallel_for.hpp"

namespace tolvane {

namespace {

using delimited::Layout;
using delimited::Piece;
using delimited::Scan;

constexpr unsigned kMaxThreads = 8;
// A block is cut into this many pieces, parsed side by side, whatever the
// number of threads: the pieces' rows are joined in file order.
constexpr unsigned kPiecesPerBlock = kMaxThreads;

// The blocks of a file: each is cut into pieces at record ends, the pieces
// are parsed side by side, their rows joined in file order and reduced in
// chunks of fixed size, so that neither the block size nor the number of
// threads changes a bit.
class Reader {
 public:
  Reader(ByteSource& in, const std::string& label, const DelimitedOptions& o, std::size_t keepRows,
         DelimitedData& out)
      : in_(in), label_(label), o_(o), keepRows_(keepRows), out_(out), acc_(0) {}

  DelimitedResult run() {
    buf_.resize(std::max<std::size_t>(o_.blockBytes, 64));
    fill();
    if (in_.failed()) return bad(1, ": the file cannot be read.");
    std::size_t pos = 0;
    if (have_ >= 3 && std::memcmp(buf_.data(), "\xEF\xBB\xBF", 3) == 0) pos = 3;
    if (!header(pos)) return result_;
    threads_ = std::min(o_.threads != 0 ? o_.threads : processorThreads(), kMaxThreads);
    acc_ = ComomentAccumulator(layout_.readColumns);
    if (!data(pos) || !reduceFullChunks(true)) return result_;
    out_.sums = acc_.result();
    if (out_.rowsRead == 0) return bad(line_, ": no data rows after the header line.");
    if (out_.rowsKept == 0) {
      return bad(line_ - 1, ": every one of the " + std::to_string(out_.rowsRead) +
                                " data rows has a missing value; no row is left to analyse.");
    }
    return {};
  }

 private:
  // `what` follows the line number: ": ..." or ", column N...: ...".
  DelimitedResult bad(std::int64_t line, const std::string& what) {
    int column = 0;
    if (what.rfind(", column ", 0) == 0) column = std::atoi(what.c_str() + 9);
    result_ = {Status::at(label_, line, column, label_ + " line " + std::to_string(line) + what),
               {}};
    return result_;
  }

  bool outOfMemory() {
    bad(line_, ": out of memory while reading.");
    return false;
  }

  void fill() {
    while (!eof_ && have_ < buf_.size()) {
      const std::size_t n = in_.read(buf_.data() + have_, buf_.size() - have_);
      if (n == 0) eof_ = true;
      have_ += n;
      bytesRead_ += n;
    }
  }

  bool header(std::size_t& pos) {
    if (have_ == pos) {
      bad(1, ": the file is empty; the first line must name the columns.");
      return false;
    }
    const delimited::HeaderRead h =
        delimited::readHeader(buf_.data() + pos, have_ - pos, eof_, o_, layout_, out_);
    if (!h.error.empty()) {
      bad(1, h.error);
      return false;
    }
    pos += h.end;
    line_ = 1 + h.lines;
    if (o_.keepValues > 0) {
      const auto columns = static_cast<std::size_t>(layout_.readColumns);
      keepRows_ = std::min(keepRows_, o_.keepValues / columns + 1);
    }
    return true;
  }

  bool data(std::size_t pos) {
    for (;;) {
      std::memmove(buf_.data(), buf_.data() + pos, have_ - pos);
      have_ -= pos;
      pos = 0;
      fill();
      if (in_.failed()) {
        bad(line_, ": the file cannot be read.");
        return false;
      }
      if (have_ == 0) return true;
      std::vector<std::size_t> targets;
      for (unsigned t = 1; t < kPiecesPerBlock; ++t)
        targets.push_back(have_ * t / kPiecesPerBlock);
      Scan scan = delimited::scanBlock(buf_.data(), have_, layout_.delimiter, targets);
      std::size_t usable = scan.lastEnd;
      if (eof_) {
        usable = have_;
      } else if (usable == 0) {
        bad(line_, scan.inQuote ? ": a quoted field that begins here runs on for more than " +
                                      std::to_string(buf_.size()) +
                                      " bytes; a quote is probably never closed."
                                : ": longer than " + std::to_string(kMaxRecordBytes) + " bytes.");
        return false;
      }
      if (!parseBlock(usable, scan.cuts)) return false;
      pos = usable;
      if (!goOn(pos)) return false;
      if (eof_ && pos == have_) return true;
    }
  }

  // After a block: the progress function, with the share read so far.
  bool goOn(std::size_t pos) {
    if (!o_.progress) return true;
    const std::uint64_t total = in_.size();
    const double share = total > 0 ? std::min(1.0, static_cast<double>(bytesRead_ - (have_ - pos)) /
                                                       static_cast<double>(total))
                                   : -1.0;
    if (o_.progress(share)) return true;
    result_ = {Status::failure(StatusCode::kCancelled, "Reading " + label_ + " was cancelled."),
               {}};
    return false;
  }

  bool parseBlock(std::size_t usable, const std::vector<std::size_t>& cuts) {
    std::vector<std::size_t> bounds{0};
    for (std::size_t c : cuts) {
      if (c > bounds.back() && c < usable) bounds.push_back(c);
    }
    bounds.push_back(usable);
    std::vector<Piece> pieces(bounds.size() - 1);
    for (std::size_t k = 0; k + 1 < bounds.size(); ++k) {
      pieces[k].begin = buf_.data() + bounds[k];
      pieces[k].end = buf_.data() + bounds[k + 1];
    }
    const ParallelOutcome parsed =
        parallelFor(pieces.size(), threads_, [&](std::size_t k, unsigned) {
          try {
            delimited::parsePiece(layout_, keepRows_, pieces[k]);
          } catch (const std::bad_alloc&) {
            // In the piece's place, so that an error in an earlier piece still
            // comes first.
            pieces[k].failed = true;
            pieces[k].errorLine = 0;
            pieces[k].error = ": out of memory while reading.";
          }
        });
    if (parsed != ParallelOutcome::kDone) return outOfMemory();
    for (Piece& p : pieces) {
      if (p.failed) {
        bad(line_ + p.errorLine, p.error);
        result_.textColumn = p.textColumn;
        return false;
      }
      join(p);
    }
    return reduceFullChunks(false);
  }

  // The piece's rows after those of the pieces before it.
  void join(Piece& p) {
    const auto m = static_cast<std::size_t>(layout_.readColumns);
    const std::size_t kept = p.rows.size() / m;
    for (std::size_t r = 0; r < p.keptLines.size() && out_.firstRowLines.size() < keepRows_; ++r) {
      out_.firstRows.insert(out_.firstRows.end(), p.rows.begin() + static_cast<long>(r * m),
                            p.rows.begin() + static_cast<long>((r + 1) * m));
      out_.firstRowLines.push_back(line_ + p.keptLines[r]);
    }
    out_.rowsRead += p.rowsRead;
    out_.rowsKept += static_cast<std::int64_t>(kept);
    for (std::size_t c = 0; c < m; ++c)
      out_.missing[c] += p.missing[c];
    line_ += p.lines;
    pending_.insert(pending_.end(), p.rows.begin(), p.rows.end());
    std::vector<double>().swap(p.rows);
  }

  // Reduces the pending rows in chunks of kChunkRows (all of them at the
  // end); a shorter tail waits for the next block.
  bool reduceFullChunks(bool all) {
    const auto m = static_cast<std::size_t>(layout_.readColumns);
    const std::size_t rows = pending_.size() / m;
    const std::size_t chunk = ComomentAccumulator::kChunkRows;
    const std::size_t full = all ? (rows + chunk - 1) / chunk : rows / chunk;
    if (full == 0) return true;
    std::vector<CentredSums> sums(full);
    const ParallelOutcome reduced = parallelFor(full, threads_, [&](std::size_t k, unsigned) {
      const std::size_t first = k * chunk;
      const std::size_t count = std::min(chunk, rows - first);
      sums[k] = reduceChunk(pending_.data() + first * m, count, layout_.readColumns);
    });
    if (reduced != ParallelOutcome::kDone) return outOfMemory();
    for (CentredSums& s : sums)
      acc_.push(std::move(s));
    const std::size_t used = std::min(rows, full * chunk) * m;
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(used));
    return true;
  }

  ByteSource& in_;
  const std::string& label_;
  const DelimitedOptions& o_;
  std::size_t keepRows_;
  DelimitedData& out_;
  DelimitedResult result_;
  std::vector<char> buf_;
  std::size_t have_ = 0;
  bool eof_ = false;
  std::uint64_t bytesRead_ = 0;
  std::int64_t line_ = 1;  // the line the unread part of the buffer begins on
  Layout layout_;
  unsigned threads_ = 1;
  ComomentAccumulator acc_;
  std::vector<double> pending_;
};

}  // namespace

DelimitedResult readDelimited(ByteSource& in, const std::string& label,
                              const DelimitedOptions& options, std::size_t keepRows,
                              DelimitedData& out) {
  out = DelimitedData{};
  return Reader(in, label, options, keepRows, out).run();
}

bool isDelimitedName(std::string_view path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos) return false;
  const std::string_view ext = path.substr(dot + 1);
  return delimited::equalNoCase(ext, "csv") || delimited::equalNoCase(ext, "tsv") ||
         delimited::equalNoCase(ext, "txt");
}

}  // namespace tolvane
