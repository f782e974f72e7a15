// Message keys that the toolkit sends to an sc::ILog, and the fixed texts of its error log.
// Keys and texts are kept exactly as the system shows them, misspellings included.
#pragma once

namespace sc::msg
{
// Error-log texts of the expression parser's text road; each "@" takes the lexeme.
inline constexpr const char* txtBracketsMismatch = "Brackets mismatch";
inline constexpr const char* txtUnexpectedToken = "Unexpected token: @";
inline constexpr const char* txtMissingOpenBracket = "Missing open bracket after function name!";
inline constexpr const char* txtUnknownSymbol = "Unknown variable or parameter: @";
inline constexpr const char* txtTwoConsecutiveNumbers =
    "Error in expression (two consecutive numbers without operator)";
inline constexpr const char* txtNestedConj = "Nested complex conj functions are not allowed!";
// Error-log text of the XML road: an assignment operator after the one of an equation,
// an assignment or an ODE; the position (1-based) and the text.
inline constexpr const char* txtSecondAssignment = "Second assignment operator at position @ in: @";
// Error-log text of the XML road: an equation whose top operation is a comparison; the
// comparison, its position (1-based) and the text.
inline constexpr const char* txtComparisonAsEquation = "Equation is a comparison (@ at position @): @";
// Error-log text of the XML road: a declared name that is a word of the model language.
inline constexpr const char* txtLanguageWordAsName = "Name @ is a reserved word of the model language!";

// Model loader ("@ML.")
inline constexpr const char* mlHeaderIncorrectOrMissing = "@ML.HeaderIncorrectOrMissing";
inline constexpr const char* mlHeaderTokError = "@ML.HeaderTokError";
inline constexpr const char* mlHeaderFirstTokenErr = "@ML.HeaderFirstTokenErr";
inline constexpr const char* mlHeaderWithoutColon = "@ML.HeaderWithout:";
inline constexpr const char* mlHeaderTokenAfterColon = "@ML.HeaderTokenAfter:";
inline constexpr const char* mlHeaderParamIncomplete = "@ML.HeaderParamIncomplete";
inline constexpr const char* mlHeaderEndAfter = "@ML.HeaderEndAfter";
inline constexpr const char* mlHeaderParamUnknown = "@ML.HeaderParamUnknown";
inline constexpr const char* mlHeaderParamExpEq = "@ML.HeaderParamExp=";
inline constexpr const char* mlHeaderReportExp = "@ML.HeaderReportExp";
inline constexpr const char* mlHeaderWrongEqPos = "@ML.HeaderWrong=Pos";
inline constexpr const char* mlHeaderWrongConstPos = "@ML.HeaderWrongConstPos";
inline constexpr const char* mlHeaderWrongParamType = "@ML.HeaderWrongParamType";
inline constexpr const char* mlHeaderUnknownParamType = "@ML.HeaderUnknownParamType";
inline constexpr const char* mlCannotOpenFile = "@ML.CannotOpenFile";
inline constexpr const char* mlSymbolIndexTooBig = "@ML.SymbolIndexTooBig";
inline constexpr const char* mlEmptyModel = "@ML.EmptyModel";
inline constexpr const char* mlWrongModelPos = "@ML.WrongModelPos";
inline constexpr const char* mlWrongSubModelPos = "@ML.WrongSubModelPos";
inline constexpr const char* mlUnexpectedToken = "@ML.UnexpectedToken";
inline constexpr const char* mlVarDDVars = "@ML.VarDDVars";
inline constexpr const char* mlVarDDInPars = "@ML.VarDDInPars";
inline constexpr const char* mlVarDDInDists = "@ML.VarDDInDists";
inline constexpr const char* mlParDDInPars = "@ML.ParDDInPars";
inline constexpr const char* mlParDDInVars = "@ML.ParDDInVars";
inline constexpr const char* mlParDDInDists = "@ML.ParDDInDists";
inline constexpr const char* mlDistDDInPars = "@ML.DistDDInPars";
inline constexpr const char* mlDistDDInVars = "@ML.DistDDInVars";
inline constexpr const char* mlDistDDInDists = "@ML.DistDDInDists";
inline constexpr const char* mlSubVarDDSubVars = "@ML.SubVarDDSubVars";
inline constexpr const char* mlSubVarDDSubPars = "@ML.SubVarDDSubPars";
inline constexpr const char* mlSubVarDDSubDists = "@ML.SubVarDDSubDists";
inline constexpr const char* mlSubParDDSubVars = "@ML.SubParDDSubVars";
inline constexpr const char* mlSubParDDSubPars = "@ML.SubParDDSubPars";
inline constexpr const char* mlSubParDDInPars = "@ML.SubParDDInPars";
inline constexpr const char* mlSubParDDSubDists = "@ML.SubParDDSubDists";
inline constexpr const char* mlCopiedParDDInSubModel = "@ML.CopiedParDDInSubModel";
inline constexpr const char* mlMainRefInMainModel = "@ML.MainRefInMainModel";
inline constexpr const char* mlNoDotAfterBase = "@ML.NoDotAfterBase";
inline constexpr const char* mlUnknownLblBase = "@ML.UnknownLblBase";
inline constexpr const char* mlConsecCase = "@ML.ConsecCase";
inline constexpr const char* mlSemicolonInCaseCond = "@ML.;InCaseCond";
inline constexpr const char* mlAttribStartGr = "@ML.AttribStartGr";
inline constexpr const char* mlConsAttribStartToken = "@ML.ConsAttribStartToken";
inline constexpr const char* mlAttribEndGr = "@ML.AttribEndGr";
inline constexpr const char* mlConsAttribEndToken = "@ML.ConsAttribEndToken";
inline constexpr const char* mlUnknownAttName = "@ML.UnknownAttName";
inline constexpr const char* mlExpectedAttName = "@ML.ExpectedAttName";
inline constexpr const char* mlExpectedEqInAttDef = "@ML.Expected=InAttDef";
inline constexpr const char* mlUnknownLbl = "@ML.UnknownLbl";
inline constexpr const char* mlUnknownLblSM = "@ML.UnknownLblSM";
inline constexpr const char* mlExprAfterEnd = "@ML.ExprAfterEnd";
inline constexpr const char* mlExprAfterGroup = "@ML.ExprAfterGroup";
inline constexpr const char* mlGroupNotFirst = "@ML.GroupNotFirst";
inline constexpr const char* mlDblGroupInModel = "@ML.DblGroupInModel";
inline constexpr const char* mlSemiColNoExpr = "@ML.SemiColNoExpr";
inline constexpr const char* mlEmptyExpression = "@ML.EmptyExpression";
inline constexpr const char* mlWrongCurrentGroup = "@ML.WrongCurrentGroup";
inline constexpr const char* mlAttribStartEndMismatch = "@ML.AttribStartEndMismatch";
inline constexpr const char* mlMissDomainEn = "@ML.MissDomainEn";
inline constexpr const char* mlMissModelTypeEn = "@ML.MissModelTypeEn";
inline constexpr const char* mlWrongModelType = "@ML.WrongModelType";
inline constexpr const char* mlWrongMethodType = "@ML.WrongMethodType";
inline constexpr const char* mlWrongEpsType = "@ML.WrongEpsType";
inline constexpr const char* mlNegativeEpsUseDefault = "@ML.NegativeEpsUseDefault";
inline constexpr const char* mlWrongModelNameType = "@ML.WrongModelNameType";
// A word of the language declared as a name; the entry names the word.
inline constexpr const char* mlReservedWordAsName = "@ML.ReservedWordAsName";
// A line of one word and a colon whose word is no group; the entry names the word.
inline constexpr const char* mlUnknownGroupName = "@ML.UnknownGroupName";
// A value beyond the 32-bit range given to a header setting or an attribute of integer
// kind; the entry names the setting or the attribute.
inline constexpr const char* mlIntegerOutOfRange = "@ML.IntegerOutOfRange";
// A derivative mark in a group other than ODEs; the entry names the group.
inline constexpr const char* mlDerivOutsideODEs = "@ML.DerivOutsideODEs";
// A header that the model's line follows without an end line: at the header's line.
inline constexpr const char* mlHeaderWithoutEnd = "@ML.HeaderWithoutEnd";
// An integer header setting written as a real number, which is cut to its integer part:
// a warning at the value, with the setting's name.
inline constexpr const char* mlHeaderRealCut = "@ML.HeaderRealCut";
// An if, switch, group or plot that a group line or the text's end finds open: at its word.
inline constexpr const char* mlBlockWithoutEnd = "@ML.BlockWithoutEnd";
// A word that opens a block after other tokens of its statement (else if): at the word.
inline constexpr const char* mlBlockWordNotFirst = "@ML.BlockWordNotFirst";
// An else, case or default that no block holds: at the word.
inline constexpr const char* mlBranchWithoutBlock = "@ML.BranchWithoutBlock";
// A statement of a declaration group that does not begin with the name it declares: at its
// first token.
inline constexpr const char* mlDeclarationWithoutName = "@ML.DeclarationWithoutName";
// A statement that begins with the colon of a group line whose group name is missing: at
// the colon.
inline constexpr const char* mlGroupNameMissing = "@ML.GroupNameMissing";
// Tokens after an else on its statement (the else stands alone): at the first of them.
inline constexpr const char* mlExprAfterElse = "@ML.ExprAfterElse";
// A name of a group that stands before the Model line, whose names are therefore not
// declared: at that group's line.
inline constexpr const char* mlGroupBeforeModel = "@ML.GroupBeforeModel";
// A SubModel after the main model's equation groups (it stands after the main model's
// declarations, before its equation groups): at the SubModel line.
inline constexpr const char* mlSubModelAfterEquations = "@ML.SubModelAfterEquations";

// Expression counting ("@CE.")
inline constexpr const char* ceNoTokensCountExpr = "@CE.NoTokensCountExpr";
inline constexpr const char* ceOutOfModel = "@CE.OutOfModel";
inline constexpr const char* ceRepeatOnlyInRepeatsGroup = "@CE.RepeatOnlyInRepeatsGroup";
inline constexpr const char* ceMainRefInMainModel = "@CE.MainRefInMainModel";
inline constexpr const char* ceNoTokensInExpr = "@CE.NoTokensInExpr";
inline constexpr const char* ceElseWoEnd = "@CE.ElseWoEnd";
inline constexpr const char* ceRepeatWrongPos = "@CE.RepeatWrongPos";
inline constexpr const char* ceEqStartWReservedKW = "@CE.EqStartWReservedKW";
inline constexpr const char* ceCaseAfterDefault = "@CE.CaseAfterDefault";
inline constexpr const char* ceDblDefaultInCase = "@CE.DblDefaultInCase";

// Solvers and builders ("@SC.")
inline constexpr const char* scEmpryParamName = "@SC.EmpryParamName";
inline constexpr const char* scBadExpression = "@SC.BadExpression";
inline constexpr const char* scWrongExprType = "@SC.WrongExprType";
inline constexpr const char* scMissingColor = "@SC.MissingColor";
inline constexpr const char* scUnexpectedToken = "@SC.UnexpectedToken";
inline constexpr const char* scMissingParenAfterFnName = "@SC.Missing(AfterFnName";
inline constexpr const char* scVarOutOfIndex = "@SC.VarOutOfIndex";
inline constexpr const char* scUnkownSymbol = "@SC.UnkownSymbol";
inline constexpr const char* scOperatorAfterEq = "@SC.OperatorAfter=";
inline constexpr const char* scDoubleEq = "@SC.Double=";
inline constexpr const char* scEqEndsWithEq = "@SC.EqEndsWith=";
inline constexpr const char* scTwoConsOperands = "@SC.TwoConsOperands";
inline constexpr const char* scNestedConjNotAllowed = "@SC.NestedConjNotAllowed";

// Model builder: declarations and start values
inline constexpr const char* scNoVarsDeclared = "@SC.NoVarsDeclared";
inline constexpr const char* scDuplicatedNames = "@SC.DuplicatedNames";
inline constexpr const char* scAssignWith0Tokens = "@SC.AssignWith0Tokens";
inline constexpr const char* scAssignWith2Tokens = "@SC.AssignWith2Tokens";
inline constexpr const char* scWrongType = "@SC.WrongType";
inline constexpr const char* scMisingEqInAssign = "@SC.Mising=InAssign";
inline constexpr const char* scInitValErr = "@SC.InitValErr";

// Model builder: measurement weights, warned of at the weight (the value is used as before):
// a negative number, which is used as written, and a name that names no symbol, for which
// the weight is 1.
inline constexpr const char* scNegativeWeight = "@SC.NegativeWeight";
inline constexpr const char* scWeightNotASymbol = "@SC.WeightNotASymbol";

// Model builder: equations
inline constexpr const char* scCannotMakeExpressionTree = "@SC.CannotMakeExpressionTree";
inline constexpr const char* scUnexpectedExpressionType = "@SC.UnexpectedExpressionType";
inline constexpr const char* scSymbolicJacobian = "@SC.SymbolicJacobian";
// An equation (or a branch or case of one, an ODE's right side, a transfer function)
// whose top operation is a comparison: refused at the comparison.
inline constexpr const char* scComparisonAsEquation = "@SC.ComparisonAsEquation";
inline constexpr const char* scCannotMakeIFExpression = "@SC.CannotMakeIFExpression";
inline constexpr const char* scIncompleteIFEq = "@SC.IncompleteIF";
inline constexpr const char* scIfInUnsupportedGroup = "@SC.IfInUnsupportedGroup";
inline constexpr const char* scCannotMakeExpression = "@SC.CannotMakeExpression";
inline constexpr const char* scIncompleteIfElse = "@SC.IncompleteIfElse";
inline constexpr const char* scSwitchWoCases = "@SC.SwitchWoCases";
inline constexpr const char* scSwitchWoDef = "@SC.SwitchWoDef";
inline constexpr const char* scCaseCondExpr = "@SC.CaseCondExpr";
inline constexpr const char* scCaseExprErr = "@SC.CaseExprErr";
inline constexpr const char* scCaseNeedsOneExpr = "@SC.CaseNeedsOneExpr";
inline constexpr const char* scStatementOutsideCase = "@SC.StatementOutsideCase";

// Model builder: statements and limits
inline constexpr const char* scWrongAssignmentEq = "@SC.WrongAssignmentEq";
inline constexpr const char* scWrongIfCondition = "@SC.WrongIfCondition";
// An if or switch block inside more enclosing blocks than a model text may nest.
inline constexpr const char* scNestedTooDeep = "@SC.NestedTooDeep";
inline constexpr const char* scWrongSignalInIf = "@SC.WrongSignalInIf";
inline constexpr const char* scEmptyIf = "@SC.EmptyIf";
inline constexpr const char* scIncompleteIf = "@SC.IncompleteIf";
inline constexpr const char* scElseExpected = "@SC.ElseExpected";
inline constexpr const char* scNoExprInElse = "@SC.NoExprInElse";
inline constexpr const char* scWrongSignalInElse = "@SC.WrongSignalInElse";
inline constexpr const char* scElseMissingEnd = "@SC.ElseMissingEnd";
inline constexpr const char* scWrongCaseSignal = "@SC.WrongCaseSignal";
inline constexpr const char* scWrongAssignmentType = "@SC.WrongAssignmentType";
inline constexpr const char* scIncAssignmentEq = "@SC.IncAssignmentEq";
inline constexpr const char* scNoParentSolver = "@SC.NoParentSolver";
inline constexpr const char* scUnknownSymbol = "@SC.UnknownSymbol";
inline constexpr const char* scMissingDotInAssignment = "@SC.MissingDotInAssignment";
inline constexpr const char* scNoImagRealPartInAssignment = "@SC.NoImagRealPartInAssignment";
inline constexpr const char* scErrorInLimits0 = "@SC.ErrorInLimits0";
inline constexpr const char* scLinitsMustBeGrouped = "@SC.LinitsMustBeGrouped";
inline constexpr const char* scErrorInLimits1 = "@SC.ErrorInLimits1";
inline constexpr const char* scLimitGroupEndMismatch = "@SC.LimitGroupEndMismatch";
// A bound of a limit function that is not a number, at the bound: a load refuses it, a
// solve or a time step that reads it fails.
inline constexpr const char* scLimitBoundNaN = "@SC.LimitBoundNaN";

// Model builder: plot statements
inline constexpr const char* scWrongPlotToken = "@SC.WrongPlotToken";
inline constexpr const char* scWrongPlotTokenRKW = "@SC.WrongPlotTokenRKW";
inline constexpr const char* scWrongPlotXBounds = "@SC.WrongPlotXBounds";
inline constexpr const char* scWrongPlotYBounds = "@SC.WrongPlotYBounds";
inline constexpr const char* scEmptyPlot = "@SC.EmptyPlot";
inline constexpr const char* scPlotPremEnd = "@SC.PlotPremEnd";
inline constexpr const char* scSecondCondInPlot = "@SC.SecondCondInPlot";
inline constexpr const char* scSecondXAxisInPlot = "@SC.SecondXAxisInPlot";
inline constexpr const char* scWrongPlotAttrib = "@SC.WrongPlotAttrib";
inline constexpr const char* scPlotNoYAxis = "@SC.PlotNoYAxis";
inline constexpr const char* scPlotYAxisErr = "@SC.PlotYAxisErr";
inline constexpr const char* scPlotHLineErr = "@SC.PlotHLineErr";
inline constexpr const char* scPlotVLineErr = "@SC.PlotVLineErr";
inline constexpr const char* scPlotHBandErr = "@SC.PlotHBandErr";
inline constexpr const char* scPlotVBandErr = "@SC.PlotVBandErr";
inline constexpr const char* scPlotCondErr = "@SC.PlotCondErr";
inline constexpr const char* scPlotAxisErr = "@SC.PlotAxisErr";

// Model builder ("@CS."): random generators and statistics
inline constexpr const char* csDistNoType = "@CS.DistNoType";
inline constexpr const char* csUnknowntDistribution = "@CS.UnknowntDistribution";
inline constexpr const char* csNoMinInUniformDist = "@CS.NoMinInUniformDist";
inline constexpr const char* csNoMaxInUniformDist = "@CS.NoMaxInUniformDist";
inline constexpr const char* csMinGtMaxInUniformDist = "@CS.MinGtMaxInUniformDist";
inline constexpr const char* csIntRangeInUniformDist = "@CS.IntRangeInUniformDist";
inline constexpr const char* csNoPimBernoulliDist = "@CS.NoPimBernoulliDist";
inline constexpr const char* csPNotIn01InBernoulliDist = "@CS.PNotIn01InBernoulliDist";
inline constexpr const char* csNoLamdaInPoissonDist = "@CS.NoLamdaInPoissonDist";
inline constexpr const char* cs0LamdaInPoissonDist = "@CS.0LamdaInPoissonDist";
inline constexpr const char* csLamdaRangeInPoissonDist = "@CS.LamdaRangeInPoissonDist";
inline constexpr const char* csNoLamdaInExponDist = "@CS.NoLamdaInExponDist";
inline constexpr const char* cs0LamdaInExponDist = "@CS.0LamdaInExponDist";
inline constexpr const char* csNoAlphaInGammaDist = "@CS.NoAlphaInGammaDist";
inline constexpr const char* cs0AlphaInGammaDist = "@CS.0AlphaInGammaDist";
inline constexpr const char* csNoBetaInGammaDist = "@CS.NoBetaInGammaDist";
inline constexpr const char* cs0BetaInGammaDist = "@CS.0BetaInGammaDist";
inline constexpr const char* csNoMeanInGaussDist = "@CS.NoMeanInGaussDist";
inline constexpr const char* csNoDevInGaussDist = "@CS.NoDevInGaussDist";
inline constexpr const char* cs0DevInGaussDist = "@CS.0DevInGaussDist";
inline constexpr const char* csNoMeanInLogGaussDist = "@CS.NoMeanInLogGaussDist";
inline constexpr const char* csNoDevInLogGausDist = "@CS.NoDevInLogGausDist";
inline constexpr const char* cs0UpperInLogGaussDist = "@CS.0UpperInLogGaussDist";
inline constexpr const char* csNoKInChiSquaredDist = "@CS.NoKInChiSquaredDist";
inline constexpr const char* cs0KInChiSquaredDist = "@CS.0KInChiSquaredDist";
inline constexpr const char* csNoNInStudentDist = "@CS.NoNInStudentDist";
inline constexpr const char* cs0NInStudentDist = "@CS.0NInStudentDist";
inline constexpr const char* csNotFiniteInDist = "@CS.NotFiniteInDist";
inline constexpr const char* csStatAssNotOK = "@CS.StatAssNotOK";
inline constexpr const char* csStatsToNotStatVar = "@CS.StatsToNotStatVar";
inline constexpr const char* csEmptyStatAsssignment = "@CS.EmptyStatAsssignment";
inline constexpr const char* csStatsCannotCreateExpr = "@CS.StatsCannotCreateExpr";
inline constexpr const char* csStatsWronExpType = "@CS.StatsWronExpType";
inline constexpr const char* csStatsCannotMakeExpressionTree = "@CS.StatsCannotMakeExpressionTree";
inline constexpr const char* csStatsCannotMakePostfix = "@CS.StatsCannotMakePostfix";

// Model builder: the tokenized road's entries, sections and sub-models
inline constexpr const char* csVarsNeqEqs = "@CS.#Vars!=#Eqs";
inline constexpr const char* csNLEsError = "@CS.NLEsError";
inline constexpr const char* csWLSEsError = "@CS.WLSEsError";
inline constexpr const char* csWLSECError = "@CS.WLSECError";
inline constexpr const char* scNoODEEqs = "@SC.NoODEEqs";
inline constexpr const char* scVarsNeqODEs = "@SC.#Vars!=#ODEs";
inline constexpr const char* scDAEEqError = "@SC.DAEEqError";
inline constexpr const char* scWLSNoWLSEs = "@SC.WLSNoWLSEs";
inline constexpr const char* scWLSNotEnoughEQs = "@SC.WLSNotEnoughEQs";
inline constexpr const char* scErrInReInit = "@SC.ErrInReInit";
inline constexpr const char* scErrInPreProc = "@SC.ErrInPreProc";
inline constexpr const char* scErrInIterPostProc = "@SC.ErrInIterPostProc";
inline constexpr const char* scErrInBasePostProc = "@SC.ErrInBasePostProc";
inline constexpr const char* scErrInPostProc = "@SC.ErrInPostProc";
inline constexpr const char* scErrInLimits = "@SC.ErrInLimits";
inline constexpr const char* scErrorInRepeat = "@SC.ErrorInRepeat";
inline constexpr const char* scPrematureEnd = "@SC.PrematureEnd";
inline constexpr const char* scCannotCreateSolver = "@SC.CannotCreateSolver";
// An equation group that the model's type does not hold (at its header), and one that the
// building solver does not read.
inline constexpr const char* scGroupNotInModelType = "@SC.GroupNotInModelType";
inline constexpr const char* scGroupNotForSolver = "@SC.GroupNotForSolver";

// Model builder: ODE statements
inline constexpr const char* scODEWrongFormat = "@SC.ODEWrongFormat";
inline constexpr const char* scODEExpectedVariable = "@SC.ODEExpectedVariable";
inline constexpr const char* scODEExpectedEqToken = "@SC.ODEExpected=Token";
inline constexpr const char* scODEExpectedDerivOrEq = "@SC.ODEExpected'or=";
inline constexpr const char* scDerivAndIntAvailable = "@SC.DerivAndIntAvailable";
inline constexpr const char* scNoDerivNoInt = "@SC.NoDerivNoInt";
inline constexpr const char* scWrongODEExp = "@SC.WrongODEExp";
inline constexpr const char* scODEMissInt = "@SC.ODEMissInt";
inline constexpr const char* scODEHasMultInts = "@SC.ODEHasMultInts";
inline constexpr const char* scODEWithDiffAndInt = "@SC.ODEWithDiffAndInt";
inline constexpr const char* scCannotCrODEExpTree = "@SC.CannotCrODEExpTree";
inline constexpr const char* scODEIntWrongOperators = "@SC.ODEIntWrongOperators";
inline constexpr const char* scODEEmptyInt = "@SC.ODEEmptyInt";
inline constexpr const char* scODEIntWithSS = "@SC.ODEIntWithSS";

// Model builder: DAE models and transfer functions
inline constexpr const char* scWrongDAEMethod = "@SC.WrongDAEMethod";
inline constexpr const char* scWrongDAEMethodSM = "@SC.WrongDAEMethodSM";
inline constexpr const char* scNoDAEorTFEqs = "@SC.NoDAEorTFEqs";
inline constexpr const char* scDAEVarsNeqEqs = "@SC.Vars!=#Eqs";
inline constexpr const char* scODENotOK = "@SC.ODENotOK";
inline constexpr const char* scDAEEqsNeqVars = "@SC.DAE#Eq!=#Vars";
// A name the build generates (stage variable, history parameter, transfer-function
// state or division variable) already names a symbol.
inline constexpr const char* scGeneratedNameTaken = "@SC.GeneratedNameTaken";
inline constexpr const char* scTFOutputTaken = "@SC.TFOutputTaken";
// reading a TFs statement
inline constexpr const char* scTFsWrongFormat = "@SC.TFsWrongFormat";
inline constexpr const char* scTFsNoDiv1Operator = "@SC.TFsNoDiv1Operator";
inline constexpr const char* scTFsNoAssignOperator = "@SC.TFsNoAssignOperator";
inline constexpr const char* scTFsWrongTokens = "@SC.TFsWrongTokens";
inline constexpr const char* scTFsCannotMakeET = "@SC.TFsCannotMakeET";
inline constexpr const char* scTFBadFormat = "@SC.TFBadFormat";
inline constexpr const char* scWrongYInTF = "@SC.WrongYInTF";
inline constexpr const char* scTFYNotVariable = "@SC.TFYNotVariable";
inline constexpr const char* scWrongUInTF = "@SC.WrongUInTF";
inline constexpr const char* scTFUNotVarNorParam = "@SC.TFUNotVarNorParam";
// expanding a transfer function
inline constexpr const char* scTFTokListError = "@SCTFTokListError";
inline constexpr const char* scTFExprTreeErr = "@SC.TFExprTreeErr";
inline constexpr const char* scTFPolyCoefficent = "@SC.TFPolyCoefficent";
inline constexpr const char* scTFDenomNoLapladeOperator = "@SC.TFDenomNoLapladeOperator";
inline constexpr const char* scTFNomNoLapladeOperator = "@SC.TFNomNoLapladeOperator";
inline constexpr const char* scTF2SSError = "@SC.TF2SSError";
inline constexpr const char* sc0Expansion = "@SC.0Expansion";
inline constexpr const char* scDAENLJack0Exp = "@SC.DAENLJack0Exp";
inline constexpr const char* scDAEExpandError = "@SC.DAEExpandError";
inline constexpr const char* scDAENLDerivs = "@SC.DAENLDerivs";
inline constexpr const char* scDAENLJack2 = "@SC.DAENLJack2";
inline constexpr const char* scDAENLJack3 = "@SC.DAENLJack3";
// expanding an ODE
inline constexpr const char* scDAEEqExp0Error = "@SC.DAEEqExp0Error";
inline constexpr const char* scDAEEqExp0DiffError = "@SC.DAEEqExp0DiffError";
inline constexpr const char* scDAEEqExpDiffError = "@SC.DAEEqExpDiffError";

// Solvers: building and the Newton-Raphson solve; each solve key has the twin a child
// model sends instead.
inline constexpr const char* scNLReadFail = "@SC.NLReadFail";
inline constexpr const char* scNLNvarsNeqNEQsl = "@SC.NLNvars!=NEQsl";
inline constexpr const char* scCannotSolveSubModel = "@SC.CannotSolveSubModel";
inline constexpr const char* scEmptyJacobian = "@SC.EmptyJacobian";
inline constexpr const char* scEmptyJacSubModel = "@SC.EmptyJacSubModel";
inline constexpr const char* scErrFactorize = "@SC.ErrFactorize";
inline constexpr const char* scErrFactorizeSub = "@SC.ErrFactorizeSub";
inline constexpr const char* scFactorizationError = "@SC.FactorizationError";
inline constexpr const char* scFactorErrorSubModel = "@SC.FactorErrorSubModel";
inline constexpr const char* scLUSolveError = "@SC.LUSolveError";
inline constexpr const char* scLUSolveErrorSubModel = "@SC.LUSolveErrorSubModel";
inline constexpr const char* scMaxIterLimit = "@SC.MaxIterLimit";
inline constexpr const char* scMaxIterLimitSubModel = "@SC.MaxIterLimitSubModel";
inline constexpr const char* scOscillation = "@SC.Oscillation";
// Weighted least squares.
inline constexpr const char* scWLSReadFail = "@SC.WLSReadFail";
inline constexpr const char* ceWLSEErrorSolve = "@CE.WLSEErrorSolve";
// Time stepping: building, the step and the run.
inline constexpr const char* scODEReadModelError = "@SC.ODEReadModelError";
inline constexpr const char* scNoDeltaT = "@SC.NoDeltaT";
inline constexpr const char* scWrongDTForODE = "@SC.WrongDTForODE";
inline constexpr const char* scErrorDAEInit = "@SC.ErrorDAEInit";
inline constexpr const char* scNoDeltaTSpecified = "@SC.NoDeltaTSpecified";
inline constexpr const char* scZeroOrNegDeltaT = "@SC.ZeroOrNegDeltaT";
inline constexpr const char* scWrongDTForDAE = "@SC.WrongDTForDAE";
inline constexpr const char* scDAEFactorizationError = "@SC.DAEFactorizationError";
// Error-log texts of a build (section ReadModel).
inline constexpr const char* txtCannotReadData = "Cannot read the data..";
inline constexpr const char* txtMissingInitialValues = "Missing initial values..";
inline constexpr const char* txtODECannotReadData = "ODESolver cannot read the data..";
// Error-log text of a failed initial problem (section RTSolution).
inline constexpr const char* txtCannotSolveInitialProblem = "Cannot solve initial problem!";
// Error-log text of a limit function's bound that is not a number, with the bound's name.
inline constexpr const char* txtLimitBoundNaN = "Bound @ of a limit function is not a number!";

// Expression tree ("@ET.")
inline constexpr const char* etEmptyExpression = "@ET.EmptyExpression";
inline constexpr const char* etFnParamOrParMM = "@ET.FnParamOr()MM";
inline constexpr const char* etOperatorWoOprnd = "@ET.OperatorWoOprnd";
inline constexpr const char* etLabelAfterOperand = "@ET.LabelAfterOperand";
inline constexpr const char* etConstAfterOperand = "@ET.ConstAfterOperand";
inline constexpr const char* etSAfterOprnd = "@ET.sAfterOprnd";
inline constexpr const char* etOpenParAfterOperand = "@ET.(_AfterOperand";
inline constexpr const char* etFnAfterOperand = "@ET.FnAfterOperand";
inline constexpr const char* etOperAfterUnOp = "@ET.OperAfterUnOp";
inline constexpr const char* etOperAfterOper = "@ET.OperAfterOper";
inline constexpr const char* etUnexpUnaryOp = "@ET.UnexpUnaryOp";
inline constexpr const char* etUnexpRn = "@ET.UnexpRn";
inline constexpr const char* etCloseParAfterOper = "@ET.)_AfterOper";
inline constexpr const char* etFnNeedsClosePar = "@ET.FnNeeds_)";
inline constexpr const char* etCommaNeedsOperator = "@ET.,NeedsOperator";
inline constexpr const char* etCommaOutsideFn = "@ET.,OutsideFn";
inline constexpr const char* etParMismatch = "@ET.()_Mismatch";
inline constexpr const char* etFnParamMising = "@ET.FnParamMising";
inline constexpr const char* etFnParamNumCommas = "@ET.FnParam#Commas";
inline constexpr const char* etFnParam2Err = "@ET.FnParam2Err";
inline constexpr const char* etMFnPremEnd = "@ET.MFnPremEnd";
inline constexpr const char* etMFnExpOprnd = "@ET.MFnExpOprnd";
inline constexpr const char* etMFnNoVar2 = "@ET.MFnNoVar2";
inline constexpr const char* etMFnNoVar3 = "@ET.MFnNoVar3";
inline constexpr const char* etExpPremEnd = "@ET.ExpPremEnd";
inline constexpr const char* etExpCommaInMFn = "@ET.Exp,InMFn";
inline constexpr const char* etExpPremEndFn = "@ET.ExpPremEndFn";
inline constexpr const char* etExpectedClosePar = "@ET.Expected_)";
inline constexpr const char* etFnNotPrpFormatted = "@ET.FnNotPrpFormatted";
inline constexpr const char* etFnNeedsOpenPar = "@ET.FnNeeds_(";
inline constexpr const char* etFnNotPrpFmt = "@ET.FnNotPrpFmt";
inline constexpr const char* etLimitFnFormatNotOk = "@ET.LimitFnFormatNotOk";
inline constexpr const char* etLimiFnWoOpenPar = "@ET.LimiFnWo_(";
inline constexpr const char* etLimitFnNeedsClosePar = "@ET.LimitFnNeeds_)";
inline constexpr const char* etUnexpTokenID = "@ET.UnexpTokenID";
inline constexpr const char* etFnNotSupported = "@ET.FnNotSupported";
// Deeper than the stack machine can run, or calls nested too deep in arguments built apart.
inline constexpr const char* etExprTooDeep = "@ET.ExprTooDeep";
// A derivative that would take more nodes than its equation's limit.
inline constexpr const char* etDerivTooLarge = "@ET.DerivTooLarge";
inline constexpr const char* etSymbolOutOfIndex = "@ET.SymbolOutOfIndex";
inline constexpr const char* etCantDiff = "@ET.CantDiff";
inline constexpr const char* etThenCantDiff = "@ET.ThenCantDiff";
inline constexpr const char* etElseCantDiff = "@ET.ElseCantDiff";
inline constexpr const char* etZeroThenExps = "@ET.ZeroThenExps";
inline constexpr const char* etZeroElseExps = "@ET.ZeroElseExps";
inline constexpr const char* etCaseNoDiffVars = "@ET.CaseNoDiffVars";
inline constexpr const char* etCaseDiffError = "@ET.CaseDiffError";
inline constexpr const char* etElseDiffExp = "@ET.ElseDiffExp";
inline constexpr const char* etErrDifEqua = "@ET.ErrDifEqua";
inline constexpr const char* etErrDiffSwitch = "@ET.ErrDiffSwitch";
inline constexpr const char* etErrDifIfThen = "@ET.ErrDifIfThen";
inline constexpr const char* etErrInitValueExp = "@ET.ErrInitValueExp";
// transfer functions
inline constexpr const char* etTFBadFormatL = "@ET.TFBadFormatL";
inline constexpr const char* etTFBadFormatR = "@ET.TFBadFormatR";
inline constexpr const char* etTFNomBadFormat = "@ET.TFNomBadFormat";
inline constexpr const char* etTFDenomBadFormat = "@ET.TFDenomBadFormat";
inline constexpr const char* etTFNoLaplace = "@ET.TFNoLaplace";
inline constexpr const char* etTFBadFormat = "@ET.TFBadFormat";
} // namespace sc::msg
