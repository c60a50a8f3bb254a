// Programs of a chosen rule count and shape, written as source text, for the
// benchmarks and the thread stress test.
#pragma once

#include <string>

namespace mirtova {

enum class Shape {
  // Layers of four rules: an injected join, a two-rule union (a WITH clause)
  // with a negation, and an aggregation that the next layer reads; chains of
  // 200 layers meet in one predicate.
  Chain,
  // Predicates of ten rules each, every rule a six-table join that reads the
  // predicate before; chains of 200 such predicates meet in one predicate.
  Wide,
  // Linear distinct recursions (transitive closures) of two rules each, met in
  // one predicate.
  Recursion,
  // The shapes below each stress one construct; every rule, field, fact or
  // alternative counts as one "rule".
  // A chain of single-rule predicates, each injected into the next, compiled
  // from the last: one SELECT whose joins grow with the chain.
  InjectedChain,
  // Recursions of two rules, each seeded by the one before.
  RecursionChain,
  // Predicates of two rules (a join with the one before, and a seed), each
  // read by the next as a WITH clause: one flat list as long as the program.
  LongChain,
  // One predicate of n rules.
  ManyRules,
  // One rule whose body is a disjunction of n alternatives.
  Disjunction,
  // n facts of one predicate.
  Facts,
  // One rule whose head has n named fields.
  WideHead,
  // One rule whose head holds a record literal of n fields.
  WideRecord,
  // One rule whose head holds a record literal nested n levels deep (the
  // parser's nesting bound allows a little over 240).
  NestedRecord,
};

struct GeneratedProgram {
  std::string text;
  std::string last;  // the predicate that reaches every other one
  int rules = 0;
};

inline GeneratedProgram generate_program(Shape shape, int rules) {
  GeneratedProgram out;
  std::string& text = out.text;
  text.reserve(static_cast<size_t>(rules) * 120);
  switch (shape) {
    case Shape::Chain: {
      // Chains of at most kChainLayers layers start again from the base and
      // meet in Top: a single chain as deep as the program is long would pass
      // the bound on how many predicates may wait on one another.
      constexpr int kChainLayers = 200;
      text += "C0(1, 2);\nC0(2, 3);\nS0(x, n? += y) distinct :- C0(x, y);\n";
      out.rules = 3;
      std::string ends;
      int i = 1;
      for (; out.rules + 5 <= rules || i == 1; ++i) {
        const std::string n = std::to_string(i),
                          p = (i - 1) % kChainLayers == 0 ? "0" : std::to_string(i - 1);
        text +=
            "J" + n + "(x, z) :- C" + p + "(x, y), S" + p + "(x, n: w), Edge(y, z), x != z, w > " + n + ";\n";
        text += "C" + n + "(x, y) :- J" + n + "(x, y);\n";
        text += "C" + n + "(x, y) :- J" + n + "(y, x), ~Blocked(x);\n";
        text += "S" + n + "(x, n? += y) distinct :- C" + n + "(x, y);\n";
        out.rules += 4;
        if (i % kChainLayers == 0) {
          ends += "Top(x, y) :- C" + n + "(x, y);\n";
          out.rules += 1;
        }
      }
      if ((i - 1) % kChainLayers != 0) {
        ends += "Top(x, y) :- C" + std::to_string(i - 1) + "(x, y);\n";
        out.rules += 1;
      }
      text += ends;
      out.last = "Top";
      break;
    }
    case Shape::Wide: {
      constexpr int kChainGroups = 200;
      text += "W0(1, 2);\n";
      out.rules = 1;
      std::string ends;
      int g = 1;
      for (; out.rules + 11 <= rules || g == 1; ++g) {
        const std::string n = std::to_string(g),
                          p = (g - 1) % kChainGroups == 0 ? "0" : std::to_string(g - 1);
        for (int r = 0; r < 10; ++r) {
          const std::string k = std::to_string(r);
          text += "W" + n + "(a, f) :- W" + p + "(a, b), Ta" + k + "(b, c), Tb" + k +
                  "(c, d), Tc(d, e, name: \"x" + k + "\"), Td(e, f), a + " + k + " != f;\n";
        }
        out.rules += 10;
        if (g % kChainGroups == 0) {
          ends += "Top(x, y) :- W" + n + "(x, y);\n";
          out.rules += 1;
        }
      }
      if ((g - 1) % kChainGroups != 0) {
        ends += "Top(x, y) :- W" + std::to_string(g - 1) + "(x, y);\n";
        out.rules += 1;
      }
      text += ends;
      out.last = "Top";
      break;
    }
    case Shape::Recursion: {
      out.last = "Top";
      for (int i = 1; out.rules + 3 <= rules || i == 1; ++i) {
        const std::string n = std::to_string(i);
        text += "R" + n + "(x, y) distinct :- Edge(x, y), x > " + n + ";\n";
        text += "R" + n + "(x, z) distinct :- R" + n + "(x, y), Edge(y, z);\n";
        text += "Top(x, y) :- R" + n + "(x, y);\n";
        out.rules += 3;
      }
      break;
    }
    case Shape::InjectedChain: {
      text += "P0(x, y) :- Edge(x, y);\n";
      int i = 1;
      for (; i < rules; ++i)
        text +=
            "P" + std::to_string(i) + "(x, y) :- P" + std::to_string(i - 1) + "(x, z), Edge(z, y), x != y;\n";
      out.rules = i;
      out.last = "P" + std::to_string(i - 1);
      break;
    }
    case Shape::RecursionChain: {
      text += "R0(x, y) distinct :- Edge(x, y);\n";
      int i = 1;
      for (; 2 * i < rules; ++i) {
        const std::string n = std::to_string(i);
        text += "R" + n + "(x, y) distinct :- R" + std::to_string(i - 1) + "(x, y);\n";
        text += "R" + n + "(x, z) distinct :- R" + n + "(x, y), Edge(y, z);\n";
      }
      out.rules = 2 * i - 1;
      out.last = "R" + std::to_string(i - 1);
      break;
    }
    case Shape::LongChain: {
      text += "P0(x, y) :- E(x, y);\n";
      int i = 1;
      for (; 2 * i < rules; ++i) {
        const std::string n = std::to_string(i);
        text += "P" + n + "(x, y) :- P" + std::to_string(i - 1) + "(x, z), E(z, y);\n";
        text += "P" + n + "(x, y) :- E(x, y), x > " + n + ";\n";
      }
      out.rules = 2 * i - 1;
      out.last = "P" + std::to_string(i - 1);
      break;
    }
    case Shape::ManyRules: {
      for (int i = 0; i < rules; ++i) text += "P(x, y) :- Edge(x, y), x > " + std::to_string(i) + ";\n";
      out.rules = rules;
      out.last = "P";
      break;
    }
    case Shape::Disjunction: {
      text += "D(x) :- T(x), (";
      for (int i = 0; i < rules; ++i) text += (i ? " | x == " : "x == ") + std::to_string(i);
      text += ");\n";
      out.rules = rules;
      out.last = "D";
      break;
    }
    case Shape::Facts: {
      for (int i = 0; i < rules; ++i)
        text += "F(" + std::to_string(i) + ", \"s" + std::to_string(i) + "\");\n";
      out.rules = rules;
      out.last = "F";
      break;
    }
    case Shape::WideHead: {
      text += "W(";
      for (int i = 0; i < rules; ++i)
        text += (i ? ", c" : "c") + std::to_string(i) + ": x + " + std::to_string(i);
      text += ") :- T(x);\n";
      out.rules = rules;
      out.last = "W";
      break;
    }
    case Shape::WideRecord: {
      text += "R(r: {";
      for (int i = 0; i < rules; ++i)
        text += (i ? ", f" : "f") + std::to_string(i) + ": x * " + std::to_string(i);
      text += "}) :- T(x);\n";
      out.rules = rules;
      out.last = "R";
      break;
    }
    case Shape::NestedRecord: {
      text += "N(r: ";
      for (int i = 0; i < rules; ++i) text += "{f" + std::to_string(i) + ": x, g: ";
      text += "x";
      text += std::string(static_cast<size_t>(rules), '}');
      text += ") :- T(x);\n";
      out.rules = rules;
      out.last = "N";
      break;
    }
  }
  return out;
}

}  // namespace mirtova
