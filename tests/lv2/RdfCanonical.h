// A Turtle file's graph in a form that two files describing the same graph share
// however they are written: one line per statement about a named subject, sorted,
// with each blank node written out as the sorted list of what is said of it. Exact
// for graphs whose blank nodes form trees, as Turtle's [ ] writes them.
#pragma once

#include <string>
#include <vector>

// Empty when the file can't be read as Turtle.
std::vector<std::string> canonicalStatements(const std::string& turtleFile);
