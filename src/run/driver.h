#pragma once
// The run driver: banner, options, input, trie, search and closing report.
int morva_main(int argc, char** argv);
