#pragma once
// The coded model matrix of a built regression slot, shared by the least-squares and the
// mixed-model fits of the listed terms.
#include <Eigen/Core>

#include <QList>
#include <QString>
#include <QVector>

#include "DoeFunctionManager.h"
#include "DoeRegressionData.h"

namespace doeBussiness {

// The model matrix of every engine parameter over the usable regression rows, in the engine's
// coding: continuous and discrete numeric factors on -1..1, categorical ones as effect columns
// whose last level is -1.
struct LsqDesign {
    Eigen::MatrixXd X;
    Eigen::VectorXd y;
    QVector<int> dataRows;  // regression data row of each matrix row
};

// One row of the model matrix from converted factor cells; false when a cell is unusable.
bool codeParameterRow(const DoeRegressionData& data, const doeFunc::DoeParameterLayout& layout,
                      const QVector<QString>& cells, QVector<double>& row);
bool buildDesign(const DoeRegressionData& data, const doeFunc::DoeParameterLayout& layout, int response,
                 LsqDesign& out);
// Parameters (never the intercept) whose factor powers are those of the term; empty when the
// engine has none, or when the term names something that is not a model factor.
QVector<int> termParameters(const DoeDesignModel& term, const QList<QString>& factors,
                            const doeFunc::DoeParameterLayout& layout);
// The parameter layout and the coded design matrix of a built regression slot; the message
// says which of the two is missing.
bool loadDesign(doeFunc::DoeFunctionManager& link, const DoeRegressionData& data, bool slotOk, int modelIndex,
                doeFunc::DoeParameterLayout& layout, LsqDesign& design, QString& err);

}  // namespace doeBussiness
