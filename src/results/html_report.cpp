#include "results/html_report.h"

#include <algorithm>
#include <cstdio>

#include "results/svg_writer.h"

namespace {

const char kStyle[] =
    "body{font:14px/1.4 system-ui,sans-serif;margin:1.5em;color:#222;max-width:1200px}"
    "h1{font-size:1.4em;margin:0 0 .3em}h2{font-size:1.15em;margin:1.4em 0 .4em}"
    "h3{font-size:1em;margin:0 0 .3em;font-family:monospace}"
    "code,pre{font-family:DejaVu Sans Mono,Menlo,monospace;font-size:12px}"
    "pre{background:#f6f6f6;padding:.5em;white-space:pre-wrap;word-break:break-all;margin:.3em 0}"
    "table{border-collapse:collapse;font-size:12px}"
    "td,th{border-bottom:1px solid #ddd;padding:2px 6px;text-align:right;white-space:nowrap}"
    "td:nth-child(2),th:nth-child(2){text-align:left;font-family:monospace}"
    "#patterns th{cursor:pointer;background:#eef;position:sticky;top:0}"
    "#patterns th.asc:after{content:' \\25b2'}#patterns th.desc:after{content:' \\25bc'}"
    ".facts td,.facts th{text-align:left}"
    ".motif{display:flex;flex-wrap:wrap;gap:18px;align-items:flex-end;border-top:1px solid #ccc;"
    "padding:.6em 0}.motif figure{margin:0}.motif figcaption{font-size:11px;color:#555}"
    ".scroll{overflow-x:auto}#patterns tr.member td{color:#777}"
    "details.members{margin-left:2em}details.members summary{cursor:pointer;color:#555;padding:.3em 0}";

// Orders rows by the clicked column, numbers as numbers (also those below
// the smallest double, like 3.2e-400), empty cells last; a second click
// reverses the order.
const char kScript[] =
    "(function(){var t=document.getElementById('patterns');if(!t)return;"
    "function key(s){if(s==='')return[3,0];if(s==='inf')return[2,Infinity];if(s==='-inf')return[0,-Infinity];"
    "var v=Number(s);if(isNaN(v))return[4,s];var m=/^([0-9.]+)e(-[0-9]+)$/.exec(s);"
    "if(v===0)return[1,m&&+m[1]?Math.log10(+m[1])+ +m[2]:-Infinity];return[v<0?0:2,v];}"
    "function cmp(a,b){if(a[0]!==b[0])return a[0]-b[0];if(a[1]===b[1])return 0;"
    "return a[0]===4?(a[1]<b[1]?-1:1):a[1]-b[1];}"
    "Array.prototype.forEach.call(t.tHead.rows[0].cells,function(th,i){th.addEventListener('click',function(){"
    "var d=th.classList.contains('asc')?-1:1,b=t.tBodies[0],rows=Array.prototype.slice.call(b.rows);"
    "Array.prototype.forEach.call(th.parentNode.cells,function(c){c.classList.remove('asc','desc');});"
    "th.classList.add(d>0?'asc':'desc');"
    "rows.sort(function(x,y){return d*cmp(key(x.cells[i].textContent),key(y.cells[i].textContent))"
    "||(x.rowIndex-y.rowIndex);});rows.forEach(function(r){b.appendChild(r);});});});"
    "t.setAttribute('data-sortable','1');})();";

std::string percent(double f) {
  return svg_number(100.0 * f, 1) + "%";
}

void class_bars(SvgWriter& svg, const HtmlMotif& m) {
  constexpr double kLabel = 70, kBar = 160, kRow = 16;
  const double width = kLabel + kBar + 90;
  const double height = kRow * static_cast<double>(m.classes.size()) + 4;
  svg.open("svg", {{"class", "classes"}, {"xmlns", "http://www.w3.org/2000/svg"},
                   {"width", svg_number(width)}, {"height", svg_number(height)}, {"font-size", "11"}});
  for (std::size_t j = 0; j < m.classes.size(); ++j) {
    const HtmlClassShare& c = m.classes[j];
    const double f = c.total > 0 ? static_cast<double>(c.seqs) / c.total : 0.0;
    const double y = 2 + kRow * static_cast<double>(j);
    svg.open("g", {{"class", "class"}, {"data-class", c.name}, {"data-fraction", svg_number(f, 4)}});
    svg.element("title", {}, c.name + ": " + std::to_string(c.seqs) + " of " + std::to_string(c.total) + " sequences");
    svg.element("text", {{"x", "0"}, {"y", svg_number(y + 11)}}, c.name);
    svg.leaf("rect", {{"x", svg_number(kLabel)}, {"y", svg_number(y + 1)}, {"width", svg_number(kBar)},
                      {"height", svg_number(kRow - 4)}, {"fill", "#eee"}});
    svg.leaf("rect", {{"x", svg_number(kLabel)}, {"y", svg_number(y + 1)}, {"width", svg_number(kBar * f)},
                      {"height", svg_number(kRow - 4)}, {"fill", j == 0 ? "#3a6ea5" : "#c0504d"}});
    svg.element("text", {{"x", svg_number(kLabel + kBar + 4)}, {"y", svg_number(y + 11)}},
                std::to_string(c.seqs) + "/" + std::to_string(c.total) + " " + percent(f));
    svg.close();
  }
  svg.close();
}

void start_bars(SvgWriter& svg, const HtmlMotif& m) {
  constexpr double kBarWidth = 9, kHeight = 50, kLeft = 2;
  const std::vector<int> bins = start_histogram(m.starts);
  const int most = std::max(1, *std::max_element(bins.begin(), bins.end()));
  const double width = kLeft + kBarWidth * kStartBins + 2;
  svg.open("svg", {{"class", "starts"}, {"xmlns", "http://www.w3.org/2000/svg"},
                   {"width", svg_number(width)}, {"height", svg_number(kHeight + 14)}, {"font-size", "9"}});
  for (int b = 0; b < kStartBins; ++b) {
    const double h = kHeight * bins[static_cast<std::size_t>(b)] / most;
    svg.open("rect", {{"x", svg_number(kLeft + kBarWidth * b)}, {"y", svg_number(kHeight - h)},
                      {"width", svg_number(kBarWidth - 1)}, {"height", svg_number(h)}, {"fill", "#6b8e23"}});
    svg.element("title", {}, svg_number(static_cast<double>(b) / kStartBins, 2) + "-" +
                                  svg_number(static_cast<double>(b + 1) / kStartBins, 2) + ": " +
                                  std::to_string(bins[static_cast<std::size_t>(b)]));
    svg.close();
  }
  svg.leaf("path", {{"d", "M" + svg_number(kLeft) + " " + svg_number(kHeight) + "H" + svg_number(width - 2)},
                    {"stroke", "#555"}});
  svg.element("text", {{"x", svg_number(kLeft)}, {"y", svg_number(kHeight + 11)}}, "start 0");
  svg.element("text", {{"x", svg_number(width - 2)}, {"y", svg_number(kHeight + 11)}, {"text-anchor", "end"}}, "1");
  svg.close();
}

}  // namespace

std::vector<int> start_histogram(const std::vector<double>& starts, int bins) {
  std::vector<int> counts(static_cast<std::size_t>(std::max(bins, 1)), 0);
  for (double x : starts) {
    int b = static_cast<int>(x * static_cast<double>(counts.size()));
    b = std::max(0, std::min(b, static_cast<int>(counts.size()) - 1));
    ++counts[static_cast<std::size_t>(b)];
  }
  return counts;
}

std::string html_report_page(const HtmlReport& r) {
  SvgWriter w;
  w.raw("<!DOCTYPE html>\n");
  w.open("html", {{"lang", "en"}});
  w.open("head");
  w.leaf("meta", {{"charset", "utf-8"}});
  // No favicon request: the page loads nothing.
  w.leaf("link", {{"rel", "icon"}, {"href", "data:,"}});
  w.element("title", {}, "morva report");
  w.open("style").raw(kStyle).close();
  w.close().raw("\n");
  w.open("body");
  w.element("h1", {}, "morva report");

  w.open("table", {{"class", "facts"}});
  auto fact = [&w](const std::string& name, const std::string& value) {
    w.open("tr").element("th", {}, name).element("td", {}, value).close();
  };
  fact("version", r.version);
  fact("patterns tested", std::to_string(r.tested));
  fact("patterns accepted", std::to_string(r.accepted));
  for (const std::string& line : r.significance) {
    // "tarone: alpha ..." is shown as the fact "Tarone".
    const std::size_t colon = line.find(": ");
    std::string name = line.substr(0, colon);
    if (name == "fdr")
      name = "FDR";
    else if (name == "westfall-young")
      name = "Westfall-Young";
    else if (!name.empty())
      name[0] = static_cast<char>(name[0] - 'a' + 'A');
    fact(name, colon == std::string::npos ? line : line.substr(colon + 2));
  }
  fact("rows ranked", std::to_string(r.table_rows));
  fact("rows shown", std::to_string(r.motifs.size()));
  fact("run time", svg_number(r.seconds, 2) + " s");
  w.close();
  w.element("h2", {}, "Command");
  w.element("pre", {{"id", "command"}}, r.command);

  w.element("h2", {}, "Input");
  w.open("table", {{"class", "facts"}, {"id", "inputs"}});
  w.open("tr").element("th", {}, "class").element("th", {}, "sequences").element("th", {}, "files").close();
  for (const HtmlInputClass& c : r.inputs) {
    std::string files;
    for (const std::string& f : c.files) files += (files.empty() ? "" : " ") + f;
    w.open("tr").element("td", {}, c.name).element("td", {}, std::to_string(c.sequences)).element("td", {}, files).close();
  }
  w.close();

  w.element("h2", {}, "Character set");
  w.open("table", {{"class", "facts"}, {"id", "charset"}});
  fact("file", r.charset_file);
  fact("alphabet", r.alphabet);
  fact("letters used (N)", std::to_string(r.alphabet_letters));
  for (const auto& g : r.groups) fact("group " + g.first, g.second);
  w.close();

  w.element("h2", {}, "Top patterns");
  w.open("div", {{"class", "scroll"}});
  w.open("table", {{"id", "patterns"}});
  w.open("thead").open("tr");
  for (const std::string& c : r.columns) w.element("th", {{"title", "sort by " + c}}, c);
  w.close().close();
  w.open("tbody");
  for (std::size_t i = 0; i < r.motifs.size(); ++i) {
    const HtmlMotif& m = r.motifs[i];
    w.open("tr", {{"data-pattern", m.pattern}, {"data-motif", std::to_string(m.motif)}, {"class", m.lead ? "lead" : "member"}});
    for (std::size_t f = 0; f < m.fields.size(); ++f) {
      if (f == 1) {
        w.open("td").element("a", {{"href", "#p" + std::to_string(i + 1)}}, m.fields[f]).close();
      } else {
        w.element("td", {}, m.fields[f]);
      }
    }
    w.close().raw("\n");
  }
  w.close().close().close();

  w.element("h2", {}, "Logos, classes and positions");
  w.open("p").text(
      "Letter height: its frequency among the sites times the column's information content, "
      "log2 N - H bits (N = " + std::to_string(r.alphabet_letters) +
      "), from the sites in class 1; a small second logo shows those in class 2 where it holds at least " +
      std::to_string(kLeastBackgroundSites) + ". A grey ground is a wildcard, with the letters the sites hold there; "
      "columns outside the frame are the letters next to the sites (-flank); "
      "a dashed rule is a flexible gap, with the gap lengths the sites show. "
      "Bars: sequences of each class holding the pattern. Histogram: where occurrences start, "
      "as a fraction of the sequence length. Rows that hit the sites of a better row (the same motif) "
      "are folded under it.").close();
  // Each lead with the other rows of its motif folded under it.
  auto section = [&](std::size_t i) {
    const HtmlMotif& m = r.motifs[i];
    w.open("section", {{"class", m.lead ? "motif" : "motif member"}, {"id", "p" + std::to_string(i + 1)},
                       {"data-pattern", m.pattern}, {"data-motif", std::to_string(m.motif)}});
    w.open("figure");
    w.element("h3", {}, std::to_string(i + 1) + ". " + m.pattern);
    draw_logo(w, m.pattern, m.elements, r.alphabet_letters, r.nucleotide);
    w.element("figcaption", {{"class", "sites"}, {"data-sites", std::to_string(m.sites)}},
              std::to_string(m.sites) + " sites in class " + m.sites_class);
    w.close();
    if (m.background_sites >= kLeastBackgroundSites) {
      w.open("figure", {{"class", "background"}});
      draw_logo(w, m.pattern, m.background, r.alphabet_letters, r.nucleotide, "logo-background", 0.5);
      w.element("figcaption", {{"class", "sites"}, {"data-sites", std::to_string(m.background_sites)}},
                std::to_string(m.background_sites) + " sites in class " + m.background_class);
      w.close();
    }
    w.open("figure");
    class_bars(w, m);
    w.element("figcaption", {}, "sequences holding it, per class");
    w.close();
    w.open("figure");
    start_bars(w, m);
    w.element("figcaption", {}, "occurrence starts / sequence length");
    w.close();
    w.close().raw("\n");
  };
  for (std::size_t i = 0; i < r.motifs.size(); ++i) {
    const HtmlMotif& m = r.motifs[i];
    if (!m.lead) continue;
    section(i);
    std::vector<std::size_t> members;
    for (std::size_t k = i + 1; k < r.motifs.size(); ++k)
      if (!r.motifs[k].lead && r.motifs[k].motif == m.motif) members.push_back(k);
    if (members.empty()) continue;
    w.open("details", {{"class", "members"}, {"data-motif", std::to_string(m.motif)}});
    w.element("summary", {},
              std::to_string(members.size()) + (members.size() == 1 ? " more row" : " more rows") +
                  " of motif " + std::to_string(m.motif) + ", hitting the same sites");
    for (std::size_t k : members) section(k);
    w.close().raw("\n");
  }
  w.open("script").raw(kScript).close();
  w.close().close();
  return w.finish() + "\n";
}
