// Patterns whose position sets are equal: the cheaper pattern keeps the set
// and the subtree, the other is abandoned.
#include <cstdio>

#include "alphabet/charset.h"
#include "run/globals.h"
#include "run/report_stream.h"
#include "search/gstree.h"
#include "sets/set_registry.h"

namespace {

inline bool is_duplicate(const STree_Node* k) {
  return k->set_id != nullptr && k->set_id->node != k;
}

}  // namespace

void GSTree::print_abandon(const char* verdict, STree_Node* first, STree_Node* second) {
  std::fputs("\t# ABANDON: ", report_file());
  charset->print(treestring(first));
  std::fputs(verdict, report_file());
  charset->print(treestring(second));
  std::fputs("\n", report_file());
}

int GSTree::handle_equal_nodes(STree_Node* n) {
  if (n->set_id == nullptr) return 0;
  STree_Node* o = n->set_id->node;
  if (o == n) return 0;
  // Equal costs, a cheaper newcomer or a cost that is not a number: the
  // earlier pattern stays.
  if (!(costs_.get(o) < costs_.get(n))) {
    n->children = nullptr;
    if (reportduplicates != 0) print_abandon(" ==> and use old instead:  ", n, o);
    return 1;
  }
  n->children = o->children;
  if (n->children != nullptr) {
    n->children->parent() = n;
    Propagate_cost(n, costs_.get(n) - costs_.get(o));
  }
  if (reportduplicates != 0) print_abandon(" ==> and use new instead: ", o, n);
  n->set_id->node = n;
  if (n->children == nullptr) return 0;

  if (reportduplicates != 0) std::fputs("# ABANDON DURING PROPAGATE\n", report_file());
  Propagate_Best_pat(n);
  if (reportduplicates != 0) std::fputs("# END ABANDON DURING PROPAGATE\n", report_file());
  return 0;
}

int GSTree::Propagate_cost(STree_Node* n, float d) {
  STree_Node* block = n->children;
  for (int i = 1; i <= block->nr_children; ++i) {
    STree_Node* k = block + i;
    costs_.set(k, costs_.get(k) + d);
    if (k->children != nullptr) Propagate_cost(k, d);
  }
  return 1;
}

int GSTree::Propagate_Best_pat(STree_Node* n) {
  STree_Node* block = n->children;
  for (int i = 1; i <= block->nr_children; ++i) {
    STree_Node* k = block + i;
    if (k->children == nullptr && is_duplicate(k)) handle_equal_nodes(k);
    if (k->children != nullptr) {
      std::fputs("# DEBUG: PROPAGATE Best_pat\n", report_file());
      Propagate_Best_pat(k);
    }
  }
  return 1;
}
