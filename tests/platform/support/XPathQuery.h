#pragma once
// XPath queries on a parsed page, for the tests of the HTML and XML exports.

#include <libxml/tree.h>
#include <libxml/xpath.h>

#include <string>
#include <vector>

namespace epc::test {

// The string values of the nodes an XPath expression selects; none without a document.
inline std::vector<std::string> XPathValues(xmlDocPtr doc, const char* xpath) {
    std::vector<std::string> out;
    if (!doc) return out;
    xmlXPathContextPtr ctx = xmlXPathNewContext(doc);
    xmlXPathObjectPtr result = xmlXPathEvalExpression(BAD_CAST xpath, ctx);
    if (result && result->nodesetval)
        for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
            xmlChar* s = xmlNodeGetContent(result->nodesetval->nodeTab[i]);
            out.emplace_back(s ? reinterpret_cast<const char*>(s) : "");
            xmlFree(s);
        }
    xmlXPathFreeObject(result);
    xmlXPathFreeContext(ctx);
    return out;
}

// How many nodes an XPath expression selects; none without a document.
inline int XPathCount(xmlDocPtr doc, const char* xpath) {
    if (!doc) return 0;
    xmlXPathContextPtr ctx = xmlXPathNewContext(doc);
    xmlXPathObjectPtr result = xmlXPathEvalExpression(BAD_CAST xpath, ctx);
    const int n = result && result->nodesetval ? result->nodesetval->nodeNr : 0;
    xmlXPathFreeObject(result);
    xmlXPathFreeContext(ctx);
    return n;
}

} // namespace epc::test
