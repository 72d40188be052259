#include "RdfCanonical.h"

#include <sord/sord.h>

#include <algorithm>
#include <memory>

namespace {

std::string text(const SordNode* node) { return reinterpret_cast<const char*>(sord_node_get_string(node)); }

std::string term(SordModel* model, const SordNode* node);

// A blank node stands for what is said of it.
std::string blankTerm(SordModel* model, const SordNode* node) {
    std::vector<std::string> parts;
    SordIter* it = sord_search(model, node, nullptr, nullptr, nullptr);
    for (; !sord_iter_end(it); sord_iter_next(it)) {
        parts.push_back(term(model, sord_iter_get_node(it, SORD_PREDICATE)) + " " +
                        term(model, sord_iter_get_node(it, SORD_OBJECT)));
    }
    sord_iter_free(it);
    std::sort(parts.begin(), parts.end());
    std::string out = "[";
    for (const std::string& part : parts) {
        out += " " + part + " ;";
    }
    return out + " ]";
}

// A literal keeps its datatype and language: 1 and 1.0 are different terms.
std::string term(SordModel* model, const SordNode* node) {
    switch (sord_node_get_type(node)) {
        case SORD_URI:
            return std::string("<").append(text(node)).append(">");
        case SORD_BLANK:
            return blankTerm(model, node);
        case SORD_LITERAL: {
            std::string out = std::string("\"").append(text(node)).append("\"");
            if (const SordNode* type = sord_node_get_datatype(node)) {
                out.append("^^<").append(text(type)).append(">");
            }
            if (const char* language = sord_node_get_language(node)) {
                out.append("@").append(language);
            }
            return out;
        }
    }
    return {};
}

}  // namespace

std::vector<std::string> canonicalStatements(const std::string& turtleFile) {
    const std::unique_ptr<SordWorld, decltype(&sord_world_free)> world(sord_world_new(), sord_world_free);
    const std::unique_ptr<SordModel, decltype(&sord_free)> model(sord_new(world.get(), SORD_SPO | SORD_OPS, false),
                                                                 sord_free);
    SerdNode base =
        serd_node_new_file_uri(reinterpret_cast<const uint8_t*>(turtleFile.c_str()), nullptr, nullptr, true);
    SerdEnv* env = serd_env_new(&base);
    SerdReader* reader = sord_new_reader(model.get(), env, SERD_TURTLE, nullptr);
    const SerdStatus status = serd_reader_read_file(reader, reinterpret_cast<const uint8_t*>(turtleFile.c_str()));
    serd_reader_free(reader);
    serd_env_free(env);
    serd_node_free(&base);
    std::vector<std::string> statements;
    if (status != SERD_SUCCESS) {
        return statements;
    }
    SordIter* it = sord_begin(model.get());
    for (; !sord_iter_end(it); sord_iter_next(it)) {
        const SordNode* subject = sord_iter_get_node(it, SORD_SUBJECT);
        if (sord_node_get_type(subject) != SORD_BLANK) {
            statements.push_back(term(model.get(), subject) + " " +
                                 term(model.get(), sord_iter_get_node(it, SORD_PREDICATE)) + " " +
                                 term(model.get(), sord_iter_get_node(it, SORD_OBJECT)));
        }
    }
    sord_iter_free(it);
    std::sort(statements.begin(), statements.end());
    return statements;
}
