#include "formula/decomposition.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "formula/crossing_memo.h"
#include "formula/cut_validity.h"
#include "formula/hull.h"
#include "formula/hull_tree.h"

namespace polyfrep {

namespace {

// The polygon's edge index, built when the first repair of either thread
// needs it and then shared: it takes 64 bytes per 8 edges.
class SharedEdgeIndex {
 public:
  SharedEdgeIndex(std::span<const Point> vertices, const HullTree* hulls)
      : vertices_(vertices), hulls_(hulls) {}

  const PolygonEdgeIndex& get() {
    std::call_once(built_, [this] {
      index_ = make_polygon_edge_index(vertices_);
      if (hulls_ != nullptr) attach_hull_tree(index_, *hulls_);
    });
    return index_;
  }

 private:
  std::span<const Point> vertices_;
  const HullTree* hulls_;
  std::once_flag built_;
  PolygonEdgeIndex index_;
};

// Checking (and, when repairing, replacing) the cuts of a decomposition.
struct CutCheck {
  const TurnTable* turns = nullptr;
  SharedEdgeIndex* edges = nullptr;
  const HullTree* hulls = nullptr;  // for polygons long enough to gain from it
  bool repair = false;
  bool all_cuts_valid = true;
};

// The repair asks this for every position it tries, and a division costs
// more than the rest of the arithmetic: an index below twice the count,
// which is the usual case, takes a subtraction at most.
int vertex_index(int first, int offset, int vertex_count) {
  const long long index = static_cast<long long>(first) + offset;
  if (index >= 0 && index < 2LL * vertex_count) {
    return static_cast<int>(index >= vertex_count ? index - vertex_count : index);
  }
  return static_cast<int>(index % vertex_count);
}

// The chain's points in chain order: a view into the polygon when the chain
// does not wrap past the last vertex, otherwise a copy.
std::span<const Point> chain_points(std::span<const Point> vertices, IndexChain chain,
                                    std::vector<Point>& copy) {
  const auto first = static_cast<std::size_t>(chain.first);
  const auto length = static_cast<std::size_t>(chain.length);
  if (first + length <= vertices.size()) return vertices.subspan(first, length);
  copy.resize(length);
  for (std::size_t k = 0; k < length; ++k)
    copy[k] = vertices[(first + k) % vertices.size()];
  return copy;
}

// The first of positions 1 .. length - 2 of a chain, nearest to the middle
// first and the smaller first among equally near ones, that passes `test`;
// -1 when none does. Positions are made as they are tried: a repair of a
// long chain usually stops long before the ends.
template <class Test>
int first_position_by_distance(int length, Test&& test) {
  const int middle = length / 2;
  const int last = length - 2;
  if (last < 1) return -1;
  if (test(middle)) return middle;
  for (int distance = 1; middle - distance >= 1 || middle + distance <= last; ++distance) {
    if (middle - distance >= 1 && test(middle - distance)) return middle - distance;
    if (middle + distance <= last && test(middle + distance)) return middle + distance;
  }
  return -1;
}

// A chain still to be decomposed, and where in the formula its nodes go: an
// operator before its two operands, so that every chain's nodes have a place
// known in advance and chains may be done in any order, on any thread.
struct PendingChain {
  IndexChain chain;
  std::size_t offset = 0;
};

// Nodes of a chain's formula: one per edge, one per cut.
std::size_t chain_node_count(int length) {
  return 2 * static_cast<std::size_t>(length) - 3;
}

// Chains this long or longer are handed to a decomposer that has run out of
// work; shorter ones are not worth the hand-over.
constexpr int kSharedChainLength = 2048;

// The chains that decomposers on several threads share. Each decomposer
// works through a stack of its own; one that runs out waits here, and the
// others, seeing it wait, hand over a long chain of theirs. The top-level
// chains of a polygon seldom take equal work: a comb or a coastline often
// leaves one thread working alone for a third of the time otherwise.
class ChainPool {
 public:
  ChainPool(std::vector<PendingChain> chains, int workers)
      : chains_(std::move(chains)),
        workers_(workers),
        available_(static_cast<int>(chains_.size())) {}

  // Waits for a chain; false once every chain is done (or given up on).
  bool take(PendingChain& chain) {
    std::unique_lock lock(mutex_);
    while (chains_.empty() && !finished_) {
      if (waiting_.load(std::memory_order_relaxed) + 1 == workers_) {
        finish_locked();
        break;
      }
      waiting_.fetch_add(1, std::memory_order_relaxed);
      changed_.wait(lock);
      waiting_.fetch_sub(1, std::memory_order_relaxed);
    }
    if (chains_.empty()) return false;
    chain = chains_.back();
    chains_.pop_back();
    available_.store(static_cast<int>(chains_.size()), std::memory_order_relaxed);
    return true;
  }

  // Whether more decomposers wait for work than there are chains for them:
  // cheap enough to ask after every chain.
  bool wanted() const {
    return waiting_.load(std::memory_order_relaxed) > available_.load(std::memory_order_relaxed);
  }

  void give(const PendingChain& chain) {
    {
      const std::lock_guard lock(mutex_);
      chains_.push_back(chain);
      available_.store(static_cast<int>(chains_.size()), std::memory_order_relaxed);
    }
    changed_.notify_one();
  }

  // Ends every wait: a decomposer stopped or failed, and the others must not
  // wait for chains it will never hand over.
  void finish() {
    const std::lock_guard lock(mutex_);
    finish_locked();
  }

 private:
  void finish_locked() {
    finished_ = true;
    changed_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<PendingChain> chains_;
  const int workers_;
  std::atomic<int> waiting_{0};
  std::atomic<int> available_{0};
  bool finished_ = false;
};

// Repairs that have tried this many positions start remembering the ones
// whose cut ray crosses an edge.
constexpr int kTriesBeforeRemembering = 32;

// The chain copy and hull storage of a chain this long or longer are
// released after its hull.
constexpr int kStorageKeptBelow = 1 << 16;

// A run looks for a stop request after this many chains: often enough to
// give up within a millisecond or so, seldom enough to cost nothing.
constexpr std::size_t kChainsBetweenStopChecks = 256;

// End-ray rejections are carried over a part that drops at most this many
// vertices at either end; a part cut further in is released at once, which
// costs less than walking its ends down vertex by vertex.
constexpr int kCarriedDropLimit = 16;

// Chains shorter than this get their hulls from chain_hull: its walk costs
// less than keeping a replay's record.
constexpr int kReplayedChainLength = 1024;
// A chain that has lost at most this share (1 / value) of the one before it
// at one end starts a replay.
constexpr int kReplayedShareDropped = 8;

// The repair's search for a chain, made before its hull.
struct EarlySearch {
  bool searched = false;
  int sound = -1;  // the sound position nearest the middle, or -1
  // Whether the cut is `sound` whatever hull vertex would be chosen.
  bool settles = false;
};

class ChainDecomposer {
 public:
  ChainDecomposer(std::span<const Point> vertices, const HullObserver& observe_hull,
                  CutCheck* check = nullptr, std::stop_token stop = {})
      : vertices_(vertices), observe_hull_(observe_hull), check_(check), stop_(std::move(stop)) {}

  // Writes the chain's formula into `nodes`, from the pending chain's offset.
  // The chains still to do wait on an explicit stack: long collinear or
  // spiralling chains decompose thousands of levels deep. With a pool, long
  // chains go to decomposers that wait for work.
  void run(PendingChain start, std::span<int> nodes, ChainPool* pool = nullptr) {
    // Every chain of this run lies within the start; the memo numbers its
    // vertices from there, so that it takes room for this chain only.
    domain_ = start.chain;
    memo_.reset();
    end_memo_.reset();
    memo_focus_ = IndexChain{0, 0};
    nodes_ = nodes;
    pending_.push_back(start);
    std::size_t expanded = 0;
    while (!pending_.empty()) {
      if (++expanded % kChainsBetweenStopChecks == 0 && stop_.stop_requested()) {
        pending_.clear();
        return;
      }
      const PendingChain next = pending_.back();
      pending_.pop_back();
      expand(next);
      if (pool != nullptr && pool->wanted()) share_longest_waiting(*pool);
    }
  }

  // Runs the pool's chains until none is left.
  void run_from(ChainPool& pool, std::span<int> nodes) {
    PendingChain start;
    while (pool.take(start)) {
      run(start, nodes, &pool);
      if (stop_.stop_requested()) pool.finish();
    }
  }

  // The hull of the chain whose nodes come last in the formula among those
  // this decomposer split, with its offset; false if it split none. Done one
  // after the other, that is the last hull computed. A chain split without
  // its hull gets it now.
  bool take_last_hull(LastHull& last, std::size_t& offset) {
    if (last_hull_chain_.length == 0) return false;
    if (last_hull_missing_) {
      chain_hull(chain_points(vertices_, last_hull_chain_, point_copy_), last_hull_positions_,
                 hull_work_);
      last_hull_missing_ = false;
    }
    last.chain = last_hull_chain_;
    last.positions = last_hull_positions_;
    offset = last_hull_offset_;
    return true;
  }

 private:
  const Point& vertex(int first, int offset) const {
    return vertices_[static_cast<std::size_t>(vertex_index(first, offset, vertex_count()))];
  }
  int vertex_count() const { return static_cast<int>(vertices_.size()); }

  void expand(PendingChain pending) {
    const IndexChain chain = pending.chain;
    std::span<int> nodes = nodes_.subspan(pending.offset, chain_node_count(chain.length));
    if (chain.length == 2) {
      nodes[0] = chain.first;
      return;
    }
    if (chain.length == 3) {
      // Its only cut is at the middle vertex; it can only be checked.
      checked_cut(chain, 1);
      nodes[0] = output_join(chain, 1);
      nodes[1] = chain.first;
      nodes[2] = vertex_index(chain.first, 1, vertex_count());
      return;
    }
    split(pending);
  }

  // A chain of four or more vertices is cut at one of its own hull vertices
  // near its middle; position 1 is the initial choice, so the cut is never at
  // an end and both parts are shorter than the chain.
  void split(PendingChain pending) {
    const IndexChain chain = pending.chain;
    const EarlySearch early = search_before_hull(chain);
    int cut = early.sound;
    bool hull_computed = false;
    if (!early.settles) {
      const int middle = chain.length / 2;
      int choice = 1;
      if (!replayed_choice(chain, middle, choice)) {
        const std::span<const Point> points = chain_points(vertices_, chain, point_copy_);
        chain_hull(points, hull_positions_, hull_work_);
        if (observe_hull_) observe_hull_(chain, points, hull_positions_);
        choice = choose_split_vertex(hull_positions_, middle, 1);
        hull_computed = true;
      }
      cut = checked_cut(chain, choice, early);
    }
    repairs_at_ends_ = (early.settles || cut_repaired_) && (cut == 1 || cut == chain.length - 2);
    last_split_ = chain;
    // Large working storage is let go at once: the chains after this one are
    // mostly smaller, and holding it would keep megabytes for the whole run.
    if (chain.length >= kStorageKeptBelow) {
      point_copy_ = std::vector<Point>();
      hull_work_ = HullWorkspace();
    }
    keep_if_last_hull(pending, hull_computed);
    const IndexChain left{chain.first, cut + 1};
    const IndexChain right{vertex_index(chain.first, cut, vertex_count()), chain.length - cut};
    const std::size_t left_offset = pending.offset + 1;
    nodes_[pending.offset] = output_join(chain, cut);
    // The left part first: pushed last.
    pending_.push_back({right, left_offset + chain_node_count(left.length)});
    pending_.push_back({left, left_offset});
  }

  // Keeps the hull just computed when its chain's nodes come later in the
  // formula than those of every chain split before: List.txt lists the hull
  // of the chain split last when they are done one after the other.
  void keep_if_last_hull(PendingChain pending, bool hull_computed) {
    if (last_hull_chain_.length != 0 && pending.offset < last_hull_offset_) return;
    last_hull_chain_ = pending.chain;
    last_hull_offset_ = pending.offset;
    last_hull_missing_ = !hull_computed;
    // The current hull is recomputed from scratch at the next split.
    if (hull_computed) std::swap(last_hull_positions_, hull_positions_);
  }

  // Hands the longest chain this decomposer has waiting, the bottom of its
  // stack, to one that waits for work, if it is long enough to be worth it.
  void share_longest_waiting(ChainPool& pool) {
    if (pending_.empty() || pending_.front().chain.length < kSharedChainLength) return;
    pool.give(pending_.front());
    pending_.erase(pending_.begin());
  }

  // The hull vertex choose_split_vertex would pick from chain_hull's result
  // for a long chain, where the replay can give it. A chain a little shorter
  // at one end than the one before it becomes the replay's base: a chain
  // winding around itself is often cut near an end level after level.
  bool replayed_choice(IndexChain chain, int middle, int& choice) {
    if (observe_hull_ || chain.length < kReplayedChainLength) return false;
    if (replay_split_choice(replay_, chain, middle, 1, choice)) return true;
    if (!shrinks_at_one_end(last_split_, chain)) return false;
    start_hull_replay(replay_, vertices_, chain);
    return replay_split_choice(replay_, chain, middle, 1, choice);
  }

  bool shrinks_at_one_end(IndexChain before, IndexChain chain) const {
    const int dropped = before.length - chain.length;
    if (dropped <= 0 || dropped > before.length / kReplayedShareDropped) return false;
    const int offset = in_domain(chain.first) - in_domain(before.first);
    return offset == 0 || offset == dropped;
  }

  int join_at(IndexChain chain, int position) const {
    return join_operator(vertex(chain.first, position - 1), vertex(chain.first, position),
                         vertex(chain.first, position + 1));
  }

  // The join from the exact turn: intersection for a strict left turn.
  int exact_join_at(IndexChain chain, int position) const {
    const auto index =
        static_cast<std::size_t>(vertex_index(chain.first, position, vertex_count()));
    return check_->turns->turn_sign[index] > 0 ? TOKEN_INTERSECT : TOKEN_UNION;
  }

  // The join written at a cut. Checked decompositions take it from the exact
  // turn: a turn rounded to the wrong sign (products that round to the same
  // value, or overflow) would join the parts the wrong way. Where the two
  // differ, the plain formula differs, so it is noted like an unsound cut.
  int output_join(IndexChain chain, int position) {
    const int plain = join_at(chain, position);
    if (check_ == nullptr) return plain;
    const int exact = exact_join_at(chain, position);
    if (exact != plain) check_->all_cuts_valid = false;
    return exact;
  }

  bool cut_is_valid(const ChainCutSetting& setting, int position,
                    const PolygonEdgeIndex* edges = nullptr, CrossedEdge* crossed_edge = nullptr,
                    EndCrossing* crossed_end = nullptr) const {
    return chain_cut_is_valid(vertices_, *check_->turns, setting, position,
                              exact_join_at(setting.chain, position), edges, crossed_edge,
                              check_->hulls, crossed_end);
  }

  // Tries a position in the repair. When `remember` is set, an unsound one
  // whose cut ray crosses an edge of the chain is remembered, since the
  // parts of the chain that keep that edge need not try it again; so is one
  // whose cut ray crosses an end ray, with the end's edge, for the parts
  // that keep that end. Chains that wind around themselves would otherwise
  // have every position near their middle tried anew at every level.
  bool repair_candidate_is_valid(const ChainCutSetting& setting, int position, bool remember) {
    const IndexChain chain = setting.chain;
    CrossedEdge crossed;
    EndCrossing crossed_end;
    if (cut_is_valid(setting, position, &edge_index(), &crossed, &crossed_end)) return true;
    if (!remember || (crossed.start < 0 && crossed_end.end == ChainEnd::kNone)) return false;
    if (!memo_) start_memos(chain);
    const int vertex = in_domain(vertex_index(chain.first, position, vertex_count()));
    if (crossed.start >= 0) memo_->remember(vertex, in_domain(crossed.start), crossed.outgoing_ray);
    if (crossed_end.end != ChainEnd::kNone) {
      end_memo_->remember(vertex, in_domain(end_edge(chain, crossed_end.end)),
                          crossed_end.outgoing_ray);
    }
    return false;
  }

  void start_memos(IndexChain chain) {
    memo_ = std::make_unique<CrossingMemo>(domain_.length);
    end_memo_ = std::make_unique<EndCrossingMemo>(vertices_, domain_);
    focus_memos(chain);
  }

  void focus_memos(IndexChain chain) {
    const IndexChain focus = in_domain(chain);
    carry_end_rejections(focus);
    memo_->focus(focus);
    end_memo_->focus(focus);
    memo_focus_ = focus;
  }

  // When the chain is a part of the memos' focus, the positions an end ray
  // or a dropped edge rejected there are mostly rejected by the new end ray:
  // those whose crossing ray shows it by its direction or crosses the new
  // end ray all the same, one dropped vertex after the other, are remembered
  // with the new end's edge instead of being tried again. A chain winding
  // around itself loses a vertex or a few at alternate ends level after
  // level, and a third of its positions (or, at the first levels, nearly
  // all) would be tried again at each.
  void carry_end_rejections(IndexChain focus) {
    const IndexChain before = memo_focus_;
    const int dropped_in_front = focus.first - before.first;
    const int last = focus.first + focus.length - 1;
    const int before_last = before.first + before.length - 1;
    if (before.length == 0 || focus.length < 3 || dropped_in_front < 0 || last > before_last ||
        dropped_in_front > kCarriedDropLimit || before_last - last > kCarriedDropLimit) {
      return;
    }
    // The back end ray leaves the first vertex, backwards along the first edge.
    for (int first = before.first; first < focus.first; ++first) {
      carry_end_rejections(first, first + 1, first + 2, first + 1, first);
    }
    for (int end = before_last; end > last; --end) {
      carry_end_rejections(end - 1, end - 2, end - 2, end - 1, end);
    }
  }

  // Vertices in the run's numbering: the edges start at `from_edge` and
  // `to_edge`; the new end vertex `apex` neighbours `inward` and `dropped`.
  void carry_end_rejections(int from_edge, int to_edge, int inward, int apex, int dropped) {
    const ShorteningWedge wedge =
        shortening_wedge(domain_vertex(inward), domain_vertex(apex), domain_vertex(dropped));
    end_memo_->carry_over_shortening(from_edge, to_edge, wedge);
    // A cut ray that crosses the dropped edge itself crosses the ray from the
    // apex through the dropped vertex strictly ahead of the apex, which is
    // all the shortening needs: such rejections move to the end memo too.
    memo_->visit_vertices_of(from_edge, [&](int vertex, bool outgoing_ray) {
      end_memo_->carry_edge_crossing(vertex, outgoing_ray, to_edge, wedge);
    });
  }

  const Point& domain_vertex(int offset) const { return vertex(domain_.first, offset); }

  // The edge an end ray continues: the chain's first edge or its last.
  int end_edge(IndexChain chain, ChainEnd end) const {
    return end == ChainEnd::kBack ? chain.first
                                  : vertex_index(chain.first, chain.length - 2, vertex_count());
  }

  // After a repair that cut at an end, the search comes first, and where it
  // finds position 1 or length - 2 the hull is often not needed: every
  // position nearer the middle than the one found is unsound, and so is
  // every equally near smaller one. A chain winding around itself is cut so
  // level after level, and its hull costs more than the search; elsewhere a
  // search made before the chosen cut proves sound would be wasted. Only once
  // a cut was found unsound, so that no later cut changes the formula's flag.
  EarlySearch search_before_hull(IndexChain chain) {
    EarlySearch early;
    // An observer sees the hull of every chain split. A short chain's hull
    // costs less than a search that may prove needless.
    if (!repairs_at_ends_ || observe_hull_ || chain.length < kReplayedChainLength ||
        check_ == nullptr || !check_->repair || check_->all_cuts_valid || !memo_) {
      return early;
    }
    const ChainCutSetting setting = make_chain_cut_setting(vertices_, *check_->turns, chain);
    if (setting.turns_share_one_sign) return early;
    focus_memos(chain);
    early.searched = true;
    early.sound = first_sound_open_position(setting, -1);
    early.settles = sound_cut_settled_before_hull(early.sound, chain.length,
                                                  [&] { return cut_is_valid(setting, 1); });
    return early;
  }

  // The cut to make: the chosen one when it is sound or nothing is checked;
  // when checking alone, an unsound one is noted; when repairing, it is
  // replaced by the sound position nearest the middle (kept if there is none).
  // An early search found that position already, the chosen one included:
  // being unsound, the chosen one is not it.
  int checked_cut(IndexChain chain, int chosen, const EarlySearch& early = {}) {
    if (check_ == nullptr) return chosen;
    const ChainCutSetting setting = make_chain_cut_setting(vertices_, *check_->turns, chain);
    cut_repaired_ = false;
    if (cut_is_valid(setting, chosen)) return chosen;
    check_->all_cuts_valid = false;
    if (!check_->repair) return chosen;
    cut_repaired_ = true;
    if (early.searched) return early.sound >= 0 ? early.sound : chosen;
    if (memo_) focus_memos(chain);
    // Such a chain may be cut anywhere cuttable, whatever its rays cross.
    const int sound = memo_ && !setting.turns_share_one_sign
                          ? first_sound_open_position(setting, chosen)
                          : first_sound_position(setting, chosen);
    return sound >= 0 ? sound : chosen;
  }

  // The repair's search, position by position from the middle outward.
  int first_sound_position(const ChainCutSetting& setting, int chosen) {
    int tries = 0;
    return first_position_by_distance(setting.chain.length, [&](int position) {
      const bool remember = ++tries > kTriesBeforeRemembering;
      return position != chosen && repair_candidate_is_valid(setting, position, remember);
    });
  }

  // The same search over the positions the memos do not rule out: it finds
  // the same position, since every position it passes over is unsound. The
  // end-ray crossings count only while the chain's end rays do not cross:
  // where they do, the end rays stop and may stop short of the crossing.
  int first_sound_open_position(const ChainCutSetting& setting, int chosen) {
    const IndexChain chain = setting.chain;
    const int middle = chain.length / 2;
    const int last = chain.length - 2;
    const RuledOutBits* ends = setting.end_rays_cross ? nullptr : &end_memo_->ruled_out_bits();
    int below = memo_->open_at_or_below(middle, ends);
    int above = memo_->open_at_or_above(middle + 1, last, ends);
    while (below >= 1 || above <= last) {
      // The nearer one first, the smaller among equally near ones.
      const bool take_below = below >= 1 && (above > last || middle - below <= above - middle);
      const int position = take_below ? below : above;
      if (position != chosen && repair_candidate_is_valid(setting, position, true)) return position;
      if (take_below) {
        below = memo_->open_at_or_below(below - 1, ends);
      } else {
        above = memo_->open_at_or_above(above + 1, last, ends);
      }
    }
    return -1;
  }

  const PolygonEdgeIndex& edge_index() { return check_->edges->get(); }

  // A vertex, and a chain, numbered from the first vertex of the run's chain.
  int in_domain(int vertex) const {
    return vertex_index(vertex - domain_.first + vertex_count(), 0, vertex_count());
  }
  IndexChain in_domain(IndexChain chain) const { return {in_domain(chain.first), chain.length}; }

  std::span<const Point> vertices_;
  const HullObserver& observe_hull_;
  CutCheck* check_;
  std::stop_token stop_;
  std::span<int> nodes_;
  std::vector<PendingChain> pending_;
  std::vector<Point> point_copy_;
  std::vector<int> hull_positions_;  // the hull of the chain being split
  IndexChain last_hull_chain_{0, 0};
  std::size_t last_hull_offset_ = 0;
  std::vector<int> last_hull_positions_;
  bool last_hull_missing_ = false;  // its chain was split without its hull
  bool cut_repaired_ = false;       // the last cut checked was unsound
  // The last chain split was repaired, and cut at position 1 or length - 2.
  bool repairs_at_ends_ = false;
  HullWorkspace hull_work_;
  HullReplay replay_;
  // Cut vertices whose ray was found to cross an edge, numbered within the
  // run's chain. Made (16 bytes per vertex of that chain) only once a repair has tried more than
  // kTriesBeforeRemembering positions: most repairs find a sound cut within a
  // few tries (all of a million-vertex random star's take fewer than 32) and
  // the memory would buy nothing there.
  std::unique_ptr<CrossingMemo> memo_;
  // Cut vertices whose ray was found to cross an end ray, remembered with the
  // end's edge: a later chain keeps that edge only as the same end, since
  // every later chain that has it is a part of the chain that ended with it.
  // Made with memo_.
  std::unique_ptr<EndCrossingMemo> end_memo_;
  IndexChain memo_focus_{0, 0};  // in the run's numbering
  IndexChain domain_{0, 0};
  IndexChain last_split_{0, 0};
};

}  // namespace

int choose_split_vertex(std::span<const int> hull_positions, int middle, int initial_choice) {
  int best = initial_choice;
  for (std::size_t i = 1; i < hull_positions.size(); ++i) {
    const int entry = hull_positions[i];
    if (std::abs(entry - middle) < std::abs(best - middle)) best = entry;
  }
  return best;
}

int join_operator(Point p, Point q, Point r) {
  const double incoming_x = q.x - p.x;
  const double incoming_y = q.y - p.y;
  const double outgoing_x = r.x - q.x;
  const double outgoing_y = r.y - q.y;
  const double first_product = incoming_x * outgoing_y;
  const double second_product = incoming_y * outgoing_x;
  const double turn = first_product - second_product;
  return turn > 0.0 ? TOKEN_INTERSECT : TOKEN_UNION;
}

Formula build_chain_formula(std::span<const Point> vertices, IndexChain chain,
                            const HullObserver& observe_hull) {
  Formula formula;
  formula.nodes.resize(chain_node_count(chain.length));
  ChainDecomposer(vertices, observe_hull).run({chain, 0}, formula.nodes);
  return formula;
}

namespace {

// Hull entries ordered by their distance from `middle`, the earlier entry
// first among equally near ones.
std::vector<int> entries_by_distance(std::span<const int> entries, int middle) {
  std::vector<int> ordered(entries.begin(), entries.end());
  std::stable_sort(ordered.begin(), ordered.end(),
                   [middle](int a, int b) { return std::abs(a - middle) < std::abs(b - middle); });
  return ordered;
}

// Whether a vertex is a strict extreme point of the polygon, worked out on
// first use: each answer may cost a pass over all vertices, or a pass over
// the hulls of the polygon's runs when there are any.
class ExtremePoints {
 public:
  ExtremePoints(std::span<const Point> vertices, const HullTree* hulls)
      : vertices_(vertices), hulls_(hulls), known_(vertices.size(), -1) {}

  bool is_extreme(int vertex) {
    signed char& known = known_[static_cast<std::size_t>(vertex)];
    if (known < 0) {
      const IndexChain outline{0, static_cast<int>(vertices_.size())};
      known = is_strict_extreme_point(vertices_, outline, vertex, hulls_) ? 1 : 0;
    }
    return known == 1;
  }

 private:
  std::span<const Point> vertices_;
  const HullTree* hulls_;
  std::vector<signed char> known_;
};

bool polygon_cut_holds(std::span<const Point> vertices, const TurnTable& turns,
                       ExtremePoints& extreme, int a, int b) {
  if (is_strictly_convex(turns)) return true;
  return polygon_cut_is_valid(vertices, turns, a, b, extreme.is_extreme(a), extreme.is_extreme(b));
}

// Pairs of corners tried at most when no pair of hull entries makes a sound
// top-level cut: each test may walk the whole outline.
constexpr long long kCornerPairsTried = 20000;

// The first sound top-level cut between two convex corners, or nullopt. The
// hull, computed in floating point, can miss corners when the coordinates'
// products overflow, and then none of its pairs may be sound.
std::optional<std::pair<int, int>> sound_corner_pair(std::span<const Point> vertices,
                                                     const TurnTable& turns,
                                                     ExtremePoints& extreme) {
  std::vector<int> corners;
  for (std::size_t i = 0; i < vertices.size(); ++i) {
    if (turns.turn_sign[i] > 0) corners.push_back(static_cast<int>(i));
  }
  long long tried = 0;
  for (std::size_t i = 0; i < corners.size(); ++i) {
    for (std::size_t j = i + 1; j < corners.size() && tried < kCornerPairsTried; ++j, ++tried) {
      if (polygon_cut_holds(vertices, turns, extreme, corners[i], corners[j])) {
        return std::pair{corners[i], corners[j]};
      }
    }
  }
  return std::nullopt;
}

// The top-level cut (a, b): the chosen one when it is sound or nothing is
// checked; when repairing an unsound one, the first sound pair with a taken
// over the hull entries in order and b over them by distance from the middle,
// or else of convex corners.
std::pair<int, int> checked_polygon_cut(std::span<const Point> vertices,
                                        std::span<const int> hull_positions, int a, int b,
                                        CutCheck* check) {
  if (check == nullptr) return {a, b};
  ExtremePoints extreme(vertices, check->hulls);
  if (polygon_cut_holds(vertices, *check->turns, extreme, a, b)) return {a, b};
  check->all_cuts_valid = false;
  if (!check->repair) return {a, b};
  const int middle = static_cast<int>(vertices.size()) / 2;
  const std::vector<int> second_choices = entries_by_distance(hull_positions, middle);
  for (const int first : hull_positions) {
    for (const int second : second_choices) {
      if (second != first && polygon_cut_holds(vertices, *check->turns, extreme, first, second)) {
        return {first, second};
      }
    }
  }
  return sound_corner_pair(vertices, *check->turns, extreme).value_or(std::pair{a, b});
}

// The last hull of the decomposers: the one whose chain's nodes come last.
void take_last_hull(std::span<ChainDecomposer> decomposers, LastHull& last_hull) {
  std::size_t last_offset = 0;
  bool found = false;
  for (ChainDecomposer& decomposer : decomposers) {
    LastHull hull;
    std::size_t offset = 0;
    if (decomposer.take_last_hull(hull, offset) && (!found || offset > last_offset)) {
      last_hull = std::move(hull);
      last_offset = offset;
      found = true;
    }
  }
}

// Writes the formulas of the two top-level chains into `nodes`, on two
// threads that share the chains as they go. Returns false, having done
// nothing, when no thread can be started. The chains are independent (each
// cut looks only at its own chain), so the nodes are those of doing one
// after the other.
bool decompose_concurrently(std::span<const Point> vertices, CutCheck* check,
                            const std::stop_token& stop, PendingChain first, PendingChain second,
                            std::span<int> nodes, LastHull& last_hull) {
  const HullObserver no_observer;
  CutCheck second_check;
  if (check != nullptr) {
    second_check = CutCheck{check->turns, check->edges, check->hulls, check->repair, true};
  }
  std::vector<ChainDecomposer> decomposers;
  decomposers.reserve(2);
  decomposers.emplace_back(vertices, no_observer, check, stop);
  decomposers.emplace_back(vertices, no_observer, check != nullptr ? &second_check : nullptr, stop);
  ChainPool pool({second, first}, 2);
  // A decomposer that fails ends the others' waits before its error moves on.
  const auto work = [&pool, nodes](ChainDecomposer& decomposer) {
    try {
      decomposer.run_from(pool, nodes);
    } catch (...) {
      pool.finish();
      throw;
    }
  };
  std::future<void> second_done;
  try {
    second_done = std::async(std::launch::async, [&] { work(decomposers[1]); });
  } catch (const std::system_error&) {
    return false;
  }
  try {
    work(decomposers[0]);
  } catch (...) {
    second_done.wait();
    throw;
  }
  second_done.get();
  if (check != nullptr)
    check->all_cuts_valid = check->all_cuts_valid && second_check.all_cuts_valid;
  take_last_hull(decomposers, last_hull);
  return true;
}

// What a decomposition that gave up on a stop request returns.
Decomposition stopped_decomposition() {
  Decomposition stopped;
  stopped.stopped = true;
  return stopped;
}

Decomposition decompose(std::span<const Point> vertices, const DecompositionOptions& options,
                        CutCheck* check) {
  Decomposition result;
  if (vertices.size() < 3) return result;
  const int vertex_count = static_cast<int>(vertices.size());
  const IndexChain outline{0, vertex_count};
  std::vector<int> hull_positions;
  chain_hull(vertices, hull_positions);
  if (options.observe_hull) options.observe_hull(outline, vertices, hull_positions);
  result.last_hull = LastHull{outline, hull_positions};
  if (hull_positions.size() < 2) return result;
  if (options.stop.stop_requested()) return stopped_decomposition();

  const auto [a, b] = checked_polygon_cut(
      vertices, hull_positions, hull_positions[0],
      choose_split_vertex(hull_positions, vertex_count / 2, hull_positions[1]), check);
  const int lo = std::min(a, b);
  const int hi = std::max(a, b);
  const IndexChain first{lo, hi - lo + 1};
  const IndexChain second{hi, vertex_count - hi + lo + 1};

  // The top-level join, then the two chains' formulas, each of a size known
  // in advance.
  std::vector<int>& nodes = result.formula.nodes;
  nodes.resize(2 * vertices.size() - 1);
  nodes[0] = TOKEN_INTERSECT;
  const PendingChain first_chain{first, 1};
  const PendingChain second_chain{second, 1 + chain_node_count(first.length)};
  const bool concurrent =
      !options.observe_hull &&
      static_cast<long long>(first.length) + second.length >= 2LL * options.concurrent_length &&
      std::thread::hardware_concurrency() > 1;
  if (!concurrent || !decompose_concurrently(vertices, check, options.stop, first_chain,
                                             second_chain, nodes, result.last_hull)) {
    ChainDecomposer decomposer(vertices, options.observe_hull, check, options.stop);
    decomposer.run(first_chain, nodes);
    decomposer.run(second_chain, nodes);
    take_last_hull(std::span<ChainDecomposer>(&decomposer, 1), result.last_hull);
  }
  if (check != nullptr) result.all_cuts_sound = check->all_cuts_valid;
  // A run may have given up before its chain was done; nothing of it is kept.
  if (options.stop.stop_requested()) return stopped_decomposition();
  return result;
}

}  // namespace

Decomposition build_polygon_formula(std::span<const Point> vertices,
                                    const DecompositionOptions& options) {
  if (!options.repair_cuts || vertices.size() < 3) return decompose(vertices, options, nullptr);
  // One pass that checks every cut and repairs the unsound ones: when every
  // cut is sound it is exactly the plain decomposition.
  const TurnTable turns = make_turn_table(vertices);
  if (options.stop.stop_requested()) return stopped_decomposition();
  // A strictly convex outline needs no cut test, and short ones are quicker
  // to walk than to build hulls for.
  std::optional<HullTree> hulls;
  if (vertices.size() >= kHullTreePolygonSize && !is_strictly_convex(turns)) {
    hulls = make_hull_tree(vertices);
  }
  SharedEdgeIndex edges(vertices, hulls ? &*hulls : nullptr);
  CutCheck check{&turns, &edges, hulls ? &*hulls : nullptr, true, true};
  return decompose(vertices, options, &check);
}

}  // namespace polyfrep
