#!/usr/bin/env bash
# Fails when a shared library exports a name outside its exported interface: the solver
# library's (the default), the model library's, the matrix library's or the utility
# library's.
# Usage: checkExports.sh <nm> <library> [eqnKit|simHost|Matrix|coreLib]
set -euo pipefail

# The exported interfaces, one qualified name a line: a class stands for its members,
# its typeinfo and its vtable, a class template for those of its instances, and a member
# or a function of an instance for itself alone (template arguments written without
# blanks, >> for > >).
eqnKit_names='
sc::TokenizedModel
sc::Naming
sc::ILog
sc::ISignal
sc::ISolver
sc::ISolverConsumer
sc::ITime
sc::IFigureEvaluator
sc::reserveNamings
sc::setDefaultDataForAllNamings
sc::setDefaultDataForNaming
sc::setPlotDataForNaming
sc::setCommonFunctions
sc::setCommonComplexFunctions
sc::setCommonRealFunctions
sc::setCommonGroupNames
sc::setCommonAttribNames
sc::setCommonReservedNames
sc::setComplexDomainAttribEnumPos
sc::setLogicalLabels
sc::setNumericTypeLabels
sc::setSpecialConstants
sc::setSolutionOKReportStringType
sc::getAttribEnumValue
sc::getCommonAttribEnumValueMap
sc::getNumericTypeMap
sc::getFunctionName
sc::getHeaderParamName
sc::getHeaderParamKind
sc::getSolutionOKReportString
sc::getSolutionOKReportStringType
sc::s_commonAttribNames
sc::s_commonReservedNames
sc::s_commonGroupNames
sc::s_logicalTokenMap
sc::s_specialConstantMap
sc::s_embeddedParamMap
sc::s_strComplexAttribValue
sc::s_tagPosition
sc::s_commonLabels
sc::HeaderDefaultValues
sc::s_commonIndentStart
sc::s_attribStart
sc::s_attribEnd
sc::s_commonFunctions
sc::s_commonAttribMaps
sc::s_commonReservedMaps
sc::s_commonGroupMaps
sc::s_cmplxPartIndex
sc::createDblNRSolver
sc::createCmplxNRSolver
sc::createDblWLSSolver
sc::createCmplxWLSSolver
sc::createDblODESolver
sc::createCmplxODESolver
sc::createDblDAESolver
sc::createCmplxDAESolver
sc::createDblPlotEvaluator
sc::createCmplxPlotEvaluator
td::toString
td::classifyNumber
'
# The model library exports its four functions; the interfaces it hands out have no
# members of their own, so only their typeinfo leaves it, and so does the typeinfo of the
# solver interface it drives when the sanitizers check its calls.
simHost_names='
sc::createRealStaticModel
sc::createCmplxStaticModel
sc::createRealDynamicModel
sc::getConsoleLogger
sc::IModel
sc::IStatic
sc::IDynamic
sc::ILog
sc::ISolver
'
# The matrix library exports what the solver library calls of it: the sizing and the norm
# of its dense matrices and the factories of its sparse matrices and solvers; its solver,
# its assembly and its KLU wrappers stay inside.
Matrix_names='
dense::Matrix<double>::reserve
dense::Matrix<double>::getL1Norm
dense::Matrix<std::complex<double>>::reserve
dense::Matrix<std::complex<double>>::getL1Norm
dense::DiagMatrix<double>::reserve
dense::DiagMatrix<double>::operator[]
sparse::createMatrix<double>
sparse::createMatrix<std::complex<double>>
sparse::createSolver<double>
sparse::createSolver<std::complex<double>>
'
# The utility library exports what the solver library calls of it, and the empty C string
# that inline code of the public headers reads in every library and host.
coreLib_names='
mu::__zeroBuffer
mu::toDouble
mu::openInputFile
mu::getAppSettings
mu::LineLoader::LineLoader
mu::LineLoader::setOffset
mu::LineLoader::setSource
mu::LineLoader::getLine
mu::UTFConverter::measureUTF16toUTF8
mu::UTFConverter::convertUTF16toUTF8
td::toColorID
td::toLinePattern
td::toDotPattern
'
# Names the linker and the sanitizers add.
tool_names='^(_init|_fini|_edata|_end|__bss_start|__odr_asan[._].*|_{2,3}asan_.*)$'

nm_tool="$1"
library="$2"
case "${3:-eqnKit}" in
    eqnKit) allowed_names="$eqnKit_names" ;;
    simHost) allowed_names="$simHost_names" ;;
    Matrix) allowed_names="$Matrix_names" ;;
    coreLib) allowed_names="$coreLib_names" ;;
    *) echo "unknown interface: $3"; exit 2 ;;
esac

allowed() {
    local entity="$1" name
    while read -r name; do
        [ -n "$name" ] || continue
        if [ "$entity" = "$name" ] || [[ "$entity" == "$name::"* ]] || [[ "$entity" == "$name<"* ]]; then
            return 0
        fi
    done <<< "$allowed_names"
    return 1
}

# Instances of standard-library templates over built-in types keep the default
# visibility the standard library gives them; they name no namespace but std. Only the
# outermost qualifiers are namespaces: a class nested in a standard template
# (poisson_distribution<long>::param_type) is no namespace of its own.
standard_instance() {
    local kind="$1" symbol="$2"
    [[ "$kind" =~ ^[WVu]$ ]] || return 1
    ! grep -oE '(^|[^:A-Za-z0-9_])[A-Za-z_][A-Za-z0-9_]*::' <<< "$symbol" | sed -E 's/^[^A-Za-z_]//' |
        grep -qvE '^(std|__[A-Za-z0-9_]*)::$'
}

# The qualified name of a demangled symbol without its parameters, without the return type
# that an instance of a function template carries in front of it, and with > > as >>.
qualified_name() {
    local name="${1%%(*}" i c depth=0 start=0
    if [[ "$name" == *">" ]]; then
        for ((i = 0; i < ${#name}; i++)); do
            c="${name:i:1}"
            case "$c" in
                "<") depth=$((depth + 1)) ;;
                ">") depth=$((depth - 1)) ;;
                " ") [ "$depth" -ne 0 ] || start=$((i + 1)) ;;
            esac
        done
        name="${name:start}"
    fi
    while [[ "$name" == *"> >"* ]]; do
        name="${name//> >/>>}"
    done
    echo "$name"
}

symbols="$("$nm_tool" -D --defined-only -C "$library")"
[ -n "$symbols" ] || { echo "no exported symbols in $library"; exit 1; }

failed=0
count=0
while read -r _ kind symbol; do
    count=$((count + 1))
    entity="$symbol"
    for prefix in "typeinfo name for " "typeinfo for " "vtable for " "VTT for " "construction vtable for " \
        "guard variable for " "non-virtual thunk to " "virtual thunk to "; do
        entity="${entity#"$prefix"}"
    done
    entity="$(qualified_name "$entity")"
    if allowed "$entity" || [[ "$entity" =~ $tool_names ]] || standard_instance "$kind" "$symbol"; then
        continue
    fi
    echo "not in the exported interface: $symbol"
    failed=1
done <<< "$symbols"

[ "$failed" -eq 0 ] || exit 1
echo "$count exported symbols, all in the exported interface"
