// VCF files of the genetic simulations (VcfFile=1): their sites and genotypes
// agree with the project files (.qdx) of the same run, and bcftools reads them.
// The run is the small example with chromosomes that mix DNA, SNP and
// microsatellite loci.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "e2e/external_tools.h"
#include "support/test_support.h"

namespace {

using e2e_tools::contains;
using e2e_tools::quote;
using test_support::ScratchDir;
using test_support::splitLines;

// Chromosome 1: 40 DNA sites then 6 SNP loci; 2: 3 microsatellites (not in
// the VCF); 3: 8 SNP loci.
const char* const kGenetics =
    "3\n#chromosome 1\n2\nDNA 40 0 0.0002 0.7\nSNP 6 0 0.05\n"
    "#chromosome 2\n1\nMICROSAT 3 0 0.0005 0 0\n"
    "#chromosome 3\n1\nSNP 8 0 0\n";
constexpr int kDnaSites = 40;
const std::vector<std::string> kCities = {"Madrid", "Paris", "Berlin", "Kyiv", "Ankara", "Cairo"};

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(text);
    while (std::getline(in, field, separator)) fields.push_back(field);
    if (!text.empty() && text.back() == separator) fields.push_back("");
    return fields;
}

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> found;
    std::istringstream in(text);
    for (std::string w; in >> w;) found.push_back(w);
    return found;
}

// The allele of every DNA and SNP locus of one gene, by (chromosome, position),
// read from its project-file line: SNP states as the VCF writes them (A
// ancestral, C derived).
using GeneAlleles = std::map<std::pair<int, int>, char>;

GeneAlleles allelesOfLine(const std::vector<std::string>& fields) {
    GeneAlleles alleles;
    const std::string& first = fields.at(2);
    for (int p = 0; p < kDnaSites; ++p) alleles[{1, p + 1}] = first.at(static_cast<size_t>(p));
    const std::vector<std::string> snps = words(first.substr(kDnaSites));
    EXPECT_EQ(snps.size(), 6u) << first;
    for (size_t i = 0; i < snps.size(); ++i) {
        alleles[{1, kDnaSites + 1 + static_cast<int>(i)}] = snps[i] == "1" ? 'C' : 'A';
    }
    const std::vector<std::string> third = words(fields.at(4));
    EXPECT_EQ(third.size(), 8u) << fields.at(4);
    for (size_t i = 0; i < third.size(); ++i) {
        alleles[{3, 1 + static_cast<int>(i)}] = third[i] == "1" ? 'C' : 'A';
    }
    return alleles;
}

// Every gene of the project file, in file order.
std::vector<GeneAlleles> genesOfProjectFile(const std::string& text) {
    std::vector<GeneAlleles> genes;
    bool inData = false;
    for (const std::string& line : splitLines(text)) {
        if (contains(line, "SampleData= {")) {
            inData = true;
        } else if (line == "}") {
            inData = false;
        } else if (inData && !line.empty()) {
            genes.push_back(allelesOfLine(split(line, '\t')));
        }
    }
    return genes;
}

struct VcfRecord {
    int chromosome;
    int position;
    std::vector<char> alleles;  // REF then ALT
    std::vector<std::string> calls;
};

struct VcfFile {
    std::vector<std::string> sampleNames;
    std::vector<VcfRecord> records;
};

VcfFile readVcf(const std::string& text) {
    VcfFile vcf;
    for (const std::string& line : splitLines(text)) {
        if (line.rfind("##", 0) == 0) continue;
        const std::vector<std::string> fields = split(line, '\t');
        if (line.rfind("#CHROM", 0) == 0) {
            vcf.sampleNames.assign(fields.begin() + 9, fields.end());
            continue;
        }
        VcfRecord record{std::stoi(fields.at(0)), std::stoi(fields.at(1)), {fields.at(3).at(0)}, {}};
        for (const std::string& alt : split(fields.at(4), ',')) record.alleles.push_back(alt.at(0));
        EXPECT_EQ(fields.at(8), "GT");
        record.calls.assign(fields.begin() + 9, fields.end());
        vcf.records.push_back(record);
    }
    return vcf;
}

class VcfRunTest : public ::testing::TestWithParam<bool> {
  protected:
    // Runs the example with two simulations; genotypic: GenotypicData=1.
    void run(bool genotypic) {
        e2e_tools::copyFolder(e2e_tools::sourcePath("examples/small"), dir);
        dir.write("genetics.par", kGenetics);
        dir.write("settings.txt", dir.read("settings.txt") +
                                      "NumGeneticSimulations=2\nNexusFile=0\nGenealogiesFile=0\n"
                                      "VcfFile=1\nGenotypicData=" +
                                      std::string(genotypic ? "1" : "0") + "\n");
        const test_support::RunResult result = test_support::runProgram(dir.path(), {"settings.txt"});
        ASSERT_EQ(result.exitStatus, 0) << result.console;
    }
    std::string vcfPath(int sim) const {
        return dir.file("GeneticsOutput/settings_samples_" + std::to_string(sim) + ".vcf");
    }
    ScratchDir dir;
};

TEST_P(VcfRunTest, SitesAndGenotypesAgreeWithTheProjectFile) {
    const bool genotypic = GetParam();
    run(genotypic);
    for (int sim = 1; sim <= 2; ++sim) {
        SCOPED_TRACE("simulation " + std::to_string(sim));
        const std::vector<GeneAlleles> genes = genesOfProjectFile(
            dir.read("GeneticsOutput/settings_samples_" + std::to_string(sim) + ".qdx"));
        ASSERT_EQ(genes.size(), 60u);
        const VcfFile vcf = readVcf(test_support::readFile(vcfPath(sim)));

        std::vector<std::string> names;
        for (const std::string& city : kCities) {
            for (int k = 1; k <= (genotypic ? 5 : 10); ++k) names.push_back(city + "_" + std::to_string(k));
        }
        EXPECT_EQ(vcf.sampleNames, names);

        // The polymorphic loci of the project file, in order.
        std::vector<std::pair<int, int>> polymorphic;
        for (const auto& locus : genes[0]) {
            std::set<char> carried;
            for (const GeneAlleles& gene : genes) carried.insert(gene.at(locus.first));
            if (carried.size() > 1) polymorphic.push_back(locus.first);
        }
        ASSERT_GT(polymorphic.size(), 5u);
        std::vector<std::pair<int, int>> written;
        for (const VcfRecord& record : vcf.records) {
            written.emplace_back(record.chromosome, record.position);
            ASSERT_EQ(record.calls.size(), names.size());
            for (size_t column = 0; column < record.calls.size(); ++column) {
                const std::vector<std::string> indices =
                    split(record.calls[column], genotypic ? '/' : '|');
                ASSERT_EQ(indices.size(), genotypic ? 2u : 1u) << record.calls[column];
                for (size_t h = 0; h < indices.size(); ++h) {
                    const size_t gene = genotypic ? 2 * column + h : column;
                    EXPECT_EQ(record.alleles.at(std::stoul(indices[h])),
                              genes[gene].at({record.chromosome, record.position}))
                        << "chromosome " << record.chromosome << " position " << record.position
                        << " gene " << gene;
                }
            }
        }
        EXPECT_EQ(written, polymorphic);
    }
    // Each simulation has its own genealogies.
    EXPECT_NE(test_support::readFile(vcfPath(1)), test_support::readFile(vcfPath(2)));
}

TEST_P(VcfRunTest, BcftoolsReadsTheFiles) {
    if (!e2e_tools::hasCommand("bcftools")) GTEST_SKIP() << "bcftools is not installed";
    const bool genotypic = GetParam();
    run(genotypic);
    const std::string path = vcfPath(1);
    const test_support::RunResult view = e2e_tools::runShell("bcftools view " + quote(path));
    ASSERT_EQ(view.exitStatus, 0) << view.console;
    EXPECT_FALSE(contains(view.console, "[W::")) << view.console;  // no warning either
    const test_support::RunResult stats = e2e_tools::runShell("bcftools stats " + quote(path));
    ASSERT_EQ(stats.exitStatus, 0) << stats.console;
    const size_t records = readVcf(test_support::readFile(path)).records.size();
    EXPECT_TRUE(contains(stats.console,
                         "SN\t0\tnumber of samples:\t" + std::string(genotypic ? "30" : "60") + "\n"))
        << stats.console;
    EXPECT_TRUE(contains(stats.console, "SN\t0\tnumber of records:\t" + std::to_string(records) + "\n"))
        << stats.console;
    EXPECT_TRUE(contains(stats.console, "SN\t0\tnumber of SNPs:\t" + std::to_string(records) + "\n"))
        << stats.console;
    // The sites lie on the declared contigs, in order: bcftools can index them.
    const test_support::RunResult index = e2e_tools::runShell(
        "bcftools view -Oz -o " + quote(path + ".gz") + " " + quote(path) + " && bcftools index " +
        quote(path + ".gz") + " && bcftools view -H -r 3 " + quote(path + ".gz") + " | wc -l");
    ASSERT_EQ(index.exitStatus, 0) << index.console;
}

INSTANTIATE_TEST_SUITE_P(Data, VcfRunTest, ::testing::Values(false, true),
                         [](const auto& testCase) { return testCase.param ? "Genotypic" : "Haploid"; });

}  // namespace
