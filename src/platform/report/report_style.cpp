#include "platform/report/report_style.h"

namespace platform::report {

// A word longer than the page (a program's path, a BY value without
// blanks) breaks anywhere in the headings, the contents, titles and notes
// rather than widen the page; in tables and their captions, long words
// break where the markup allows (long_words.h), shorter words stay whole
// and numbers never break. On a narrow screen the body's margins shrink to
// leave the tables the room the panels are cut for (page_panels.cpp).
const char* report_css() {
  return R"css(
:root { color-scheme: light; }
body { font-family: "DejaVu Sans", Verdana, system-ui, sans-serif; font-size: 14px; line-height: 1.4;
       color: #1a1a1a; background: #ffffff; margin: 0 auto; max-width: 70rem; padding: 1rem 2rem 3rem; }
h1 { font-size: 1.6rem; margin: 0.5rem 0 1rem; }
h2 { font-size: 1.3rem; margin: 2.5rem 0 0.5rem; border-bottom: 2px solid #333333; padding-bottom: 0.2rem; }
h3 { font-size: 1.1rem; margin: 2rem 0 0.5rem; border-bottom: 1px solid #999999; padding-bottom: 0.15rem; }
nav.toc { border: 1px solid #cccccc; background: #f7f7f7; padding: 0.5rem 1.5rem 0.8rem; margin-bottom: 2rem; }
nav.toc h2 { border: none; margin: 0.5rem 0; font-size: 1.1rem; }
nav.toc ol { margin: 0.2rem 0; padding-left: 1.4rem; }
nav.toc li { margin: 0.1rem 0; }
a { color: #0b5394; }
h1, h2, h3, nav.toc, .titles, figcaption, p.note, p.message { overflow-wrap: anywhere; }
.titles { text-align: center; margin: 1rem 0 0.5rem; }
.titles p { margin: 0.1rem 0; }
.table-wrap { overflow-x: auto; max-width: 100%; }
table { border-collapse: collapse; margin: 1.2rem 0 0.4rem; font-size: 0.93rem; }
table.continued { margin-top: 0.8rem; }
caption { caption-side: top; text-align: left; font-weight: bold; padding-bottom: 0.3rem; }
th, td { padding: 0.15em 0.5em; border-bottom: 1px solid #dddddd; vertical-align: top; }
thead th { border-bottom: 2px solid #333333; text-align: left; font-weight: bold; }
tbody th { text-align: left; font-weight: normal; }
.num { text-align: right; font-variant-numeric: tabular-nums; white-space: nowrap; }
thead th.num { text-align: right; white-space: normal; }
thead th.group { text-align: center; border-bottom: 1px solid #333333; font-weight: normal; }
thead td { border-bottom: none; }
table.facts th { font-weight: normal; color: #333333; }
p.note { color: #444444; font-size: 0.9rem; margin: 0.2rem 0 0.8rem; }
p.message { font-family: "DejaVu Sans Mono", monospace; font-size: 0.9rem; margin: 0.8rem 0; }
@media screen and (max-width: 56rem) { body { padding-left: 1rem; padding-right: 1rem; } }
figure { margin: 1.5rem 0; }
figure svg { max-width: 100%; height: auto; display: block; }
figcaption { font-size: 0.9rem; color: #444444; margin-top: 0.3rem; }
@page { margin: 12mm; }
@media print {
  body { max-width: none; padding: 0; font-size: 10pt; }
  table { font-size: 8pt; }
  nav.toc { break-after: page; background: none; }
  a { color: inherit; text-decoration: none; }
  h2, h3 { break-after: avoid; }
  table, figure { break-inside: avoid; }
  .table-wrap { overflow: visible; }
  section.step { break-before: page; }
}
)css";
}

}  // namespace platform::report
