// The tree's only code that needs GL and GLUT.
#include "body/Body.h"
#include "spheretree/QuerySphereTree.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

void QuerySphereTree::draw() {
    drawNode(root);
}

void QuerySphereTree::drawNode(TreeNode* node) {
    if ((node->flags & TreeNodeFlags::Leaf) && !(node->flags & TreeNodeFlags::Bounding)) {
        Vector3 p = node->body->getPosition();
        float rb = node->body->getRadius();
        glEnable(GL_LIGHTING);
        glPushMatrix();
        glTranslatef(p.x, p.y, p.z);
        glColor3f(1.0f, 0.0f, 0.0f);
        glutSolidSphere(rb, 10, 10);
        glPopMatrix();
    }
    for (TreeNode* child : node->children) {
        drawNode(child);
    }
}
